#pragma once

#include "ui/dialogs.h"

#include <QApplication>

#include <functional>

namespace kelvora {

// Runs `action`; an error that ends it is shown through `dialogs`. True when it ran to the end.
bool guarded(Dialogs &dialogs, const std::function<void()> &action);

// The application: an error that escapes an event handler ends that operation and is shown,
// its own text in a message box, after which the program goes on and what the operation had
// changed stays changed.
class Application : public QApplication
{
    Q_OBJECT

public:
    Application(int &argc, char **argv);

    // The dialogs that show those errors; nullptr: the real message boxes.
    void setErrorDialogs(Dialogs *dialogs) { m_errorDialogs = dialogs; }

    bool notify(QObject *receiver, QEvent *event) override;

private:
    QtDialogs m_messageBoxes;
    Dialogs *m_errorDialogs = nullptr;
};

} // namespace kelvora
