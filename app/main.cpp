#include "ui/appearance.h"
#include "ui/dialogs.h"
#include "ui/errorsink.h"
#include "ui/main.h"

#include <QtGlobal>

#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>

namespace {

// While the application starts, Qt's platform plugin may fail to connect to a display (none is
// set, or the one named does not answer) and then ends the program with a fatal message that
// blames the installation. The start-up keeps the plugin's warnings and replaces that end by
// one line that says what is missing, and exit status 1.
class PlatformStart
{
public:
    PlatformStart() { messages().previous = qInstallMessageHandler(&PlatformStart::handle); }
    // The application has started: Qt's own handler again, and what was said meanwhile.
    ~PlatformStart()
    {
        qInstallMessageHandler(messages().previous);
        std::fputs(messages().said.c_str(), stderr);
    }
    PlatformStart(const PlatformStart &) = delete;
    PlatformStart &operator=(const PlatformStart &) = delete;

private:
    struct Messages
    {
        QtMessageHandler previous = nullptr;
        std::string said;
        std::string first;
    };
    static Messages &messages()
    {
        static Messages m;
        return m;
    }

    static void handle(QtMsgType type, const QMessageLogContext &, const QString &text)
    {
        Messages &m = messages();
        if (type != QtFatalMsg) {
            if (m.first.empty())
                m.first = text.toStdString();
            m.said += text.toStdString() + '\n';
            return;
        }
        if (qEnvironmentVariableIsSet("DISPLAY") || qEnvironmentVariableIsSet("WAYLAND_DISPLAY")
            || qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) {
            const std::string reason =
                m.first.empty() ? text.section(QLatin1Char('\n'), 0, 0).toStdString() : m.first;
            std::fprintf(stderr,
                         "Kelvora cannot open its window (%s); use kelvora-cli for work without "
                         "one\n",
                         reason.c_str());
        } else {
            std::fputs("Kelvora needs a graphical display; use kelvora-cli for work without one\n",
                       stderr);
        }
        std::_Exit(1);
    }
};

} // namespace

int main(int argc, char **argv)
{
    std::optional<kelvora::Application> started;
    {
        PlatformStart guard;
        started.emplace(argc, argv);
    }
    kelvora::Application &app = *started;
    QApplication::setApplicationName(QStringLiteral("Kelvora"));
    QApplication::setFont(kelvora::KelvoraFont());
    QApplication::setWindowIcon(kelvora::KelvoraIcon());

    // Offscreen nobody could answer a message box: the start-up's messages go to standard
    // error, and one that ends the program ends it at once.
    kelvora::QtDialogs dialogs(kelvora::windowsCanBeAnswered());
    app.setErrorDialogs(&dialogs);
    kelvora::TFMain window(dialogs, QCoreApplication::applicationFilePath());
    // The start-up refused to go on (database in use or kept locked by another program, or a
    // damaged file that could not be backed up): the program ends without saving anything.
    if (window.endRequested())
        return 1;
    window.show();
    const int status = app.exec();
    app.setErrorDialogs(nullptr);
    return status;
}
