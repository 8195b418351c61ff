#include "ui/errorsink.h"
#include "ui/main.h"

#include <gtest/gtest.h>

int main(int argc, char **argv)
{
    // The tests never need a screen; listing them (at build time) runs without one too.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    kelvora::Application app(argc, argv);
    kelvora::Application::setApplicationName(QStringLiteral("Kelvora"));
    // The program's face, so that the windows are measured as the program shows them.
    kelvora::Application::setFont(kelvora::KelvoraFont());
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
