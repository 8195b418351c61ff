#include "ui/errorsink.h"

#include "core/errors.h"

namespace kelvora {

bool guarded(Dialogs &dialogs, const std::function<void()> &action)
{
    try {
        action();
        return true;
    } catch (const std::exception &error) {
        dialogs.message(QString::fromStdString(errorText(error)));
    }
    return false;
}

Application::Application(int &argc, char **argv) : QApplication(argc, argv) {}

bool Application::notify(QObject *receiver, QEvent *event)
{
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception &error) {
        Dialogs &dialogs = m_errorDialogs != nullptr ? *m_errorDialogs : m_messageBoxes;
        dialogs.message(QString::fromStdString(errorText(error)));
    }
    // The event counts as handled: the operation has ended and the program goes on.
    return true;
}

} // namespace kelvora
