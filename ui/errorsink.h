#pragma once

#include <QApplication>

#include <exception>
#include <functional>

namespace kelvora {

class Dialogs;

// Where an error that ends an operation is shown: its own text in a message box, after
// which the program goes on and what the operation had changed stays changed.
class ErrorSink
{
public:
    // The dialogs that show the errors; nullptr restores the real message boxes.
    static void setDialogs(Dialogs *dialogs);
    static Dialogs &dialogs();

    static void report(const std::exception &error);
};

// Runs `action`; an error that ends it is shown through `dialogs`. True when it ran to the end.
bool guarded(Dialogs &dialogs, const std::function<void()> &action);

// The application: every error that escapes an event handler reaches the error sink.
class Application : public QApplication
{
    Q_OBJECT

public:
    Application(int &argc, char **argv);

    bool notify(QObject *receiver, QEvent *event) override;
};

} // namespace kelvora
