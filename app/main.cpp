#include "ui/appearance.h"
#include "ui/dialogs.h"
#include "ui/errorsink.h"
#include "ui/main.h"

int main(int argc, char **argv)
{
    kelvora::Application app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Kelvora"));
    QApplication::setFont(kelvora::KelvoraFont());
    QApplication::setWindowIcon(kelvora::KelvoraIcon());

    kelvora::QtDialogs dialogs;
    app.setErrorDialogs(&dialogs);
    kelvora::TFMain window(dialogs, QCoreApplication::applicationFilePath());
    // The start-up refused to go on (database in use, or a damaged file that could not be
    // backed up): the program ends without saving anything.
    if (window.endRequested())
        return 1;
    window.show();
    const int status = app.exec();
    app.setErrorDialogs(nullptr);
    return status;
}
