#include "ui_main_fixture.h"

#include "ui/appearance.h"
#include "ui/boundedit.h"
#include "ui/chart.h"

#include <QApplication>
#include <QImage>
#include <QLineSeries>
#include <QPixmap>
#include <QSet>
#include <QTabWidget>

namespace kelvora {
namespace {

using test::MainWindowTest;

// Saves the picture beside the build for a person to look at and tells how many colours it
// has: a blank or unpainted window has very few.
int saveAndCountColours(const QPixmap &shot, const QString &name)
{
    QDir().mkpath(QStringLiteral(KELVORA_UI_SHOTS));
    EXPECT_TRUE(shot.save(QStringLiteral(KELVORA_UI_SHOTS "/") + name));
    const QImage image = shot.toImage();
    QSet<QRgb> colours;
    for (int y = 0; y < image.height(); y += 2)
        for (int x = 0; x < image.width(); x += 2)
            colours.insert(image.pixel(x, y));
    return static_cast<int>(colours.size());
}

bool hasColour(const QPixmap &shot, QColor colour)
{
    const QImage image = shot.toImage();
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (image.pixelColor(x, y) == colour)
                return true;
    return false;
}

TEST_F(MainWindowTest, ScreenshotsOfAComputedRecordAreNotBlank)
{
    QApplication::setFont(KelvoraFont());
    startEmpty();
    importRecord(QStringLiteral("Copper point lamp"));
    importRecord(QStringLiteral("Lamp 3.1"));
    makeComputed();
    m()->setPlainText(QStringLiteral("Reference lamp of the furnace, checked."));
    loadSignals("4\n3.1E-3\n7.9E-3\n1.2E-2\n1.5E-2\n");
    btnComputeInterp()->click();
    window->show();
    pc()->setCurrentWidget(tsMeasurements());
    returnToEventLoop();
    ASSERT_EQ(chAll()->seSH->count(), 201);

    const QPixmap interpolation = window->grab();
    EXPECT_EQ(interpolation.size(), window->size());
    EXPECT_GT(saveAndCountColours(interpolation, QStringLiteral("main-interpolation.png")), 50);
    EXPECT_TRUE(hasColour(interpolation, QColor(0, 0, 160))) << "the curve is drawn";

    pc()->setCurrentWidget(tsCalibration());
    returnToEventLoop();
    const QPixmap calibration = window->grab();
    EXPECT_GT(saveAndCountColours(calibration, QStringLiteral("main-calibration.png")), 50);
    EXPECT_TRUE(dialogs.messages.isEmpty()) << messagesShown();
    window->close();
}

} // namespace
} // namespace kelvora
