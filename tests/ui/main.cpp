#include "ui/appearance.h"
#include "ui/errorsink.h"

#include <gtest/gtest.h>

int main(int argc, char **argv)
{
    // The tests never need a screen; listing them (at build time) runs without one too. The
    // offscreen screen is a desktop's, unless a test run asks for another.
    const QByteArray platform = qgetenv("QT_QPA_PLATFORM");
    if (platform.isEmpty() || platform == "offscreen")
        qputenv("QT_QPA_PLATFORM", "offscreen:configfile=" KELVORA_TEST_SCREENS "/desktop.json");
    kelvora::Application app(argc, argv);
    kelvora::Application::setApplicationName(QStringLiteral("Kelvora"));
    // The program's face, so that the windows are measured as the program shows them.
    kelvora::Application::setFont(kelvora::KelvoraFont());
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
