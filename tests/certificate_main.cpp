#include <QGuiApplication>

#include <gtest/gtest.h>

// The certificate's tests paint documents: Qt's GUI library runs on the offscreen platform.
int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
