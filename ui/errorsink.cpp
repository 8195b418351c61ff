#include "ui/errorsink.h"

#include "core/errors.h"
#include "ui/dialogs.h"

namespace kelvora {

namespace {

Dialogs *g_dialogs = nullptr;

QtDialogs &realDialogs()
{
    static QtDialogs dialogs;
    return dialogs;
}

} // namespace

void ErrorSink::setDialogs(Dialogs *dialogs)
{
    g_dialogs = dialogs;
}

Dialogs &ErrorSink::dialogs()
{
    return g_dialogs != nullptr ? *g_dialogs : realDialogs();
}

void ErrorSink::report(const std::exception &error)
{
    dialogs().message(QString::fromStdString(errorText(error)));
}

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
        ErrorSink::report(error);
    }
    // The event counts as handled: the operation has ended and the program goes on.
    return true;
}

} // namespace kelvora
