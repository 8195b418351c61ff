#include "shotchecks.h"
#include "ui_main_fixture.h"

#include "ui/appearance.h"
#include "ui/boundedit.h"
#include "ui/chart.h"

#include <QApplication>
#include <QGroupBox>
#include <QImage>
#include <QLineSeries>
#include <QPixmap>
#include <QTabWidget>

namespace kelvora {
namespace {

using test::MainWindowTest;

// Saves the picture beside the build for a person to look at.
QImage saved(const QPixmap &shot, const QString &name)
{
    QDir().mkpath(QStringLiteral(KELVORA_UI_SHOTS));
    EXPECT_TRUE(shot.save(QStringLiteral(KELVORA_UI_SHOTS "/") + name));
    return shot.toImage();
}

// The group box with that title.
const QGroupBox *groupTitled(const QWidget &window, const QString &title)
{
    for (const QGroupBox *box : window.findChildren<QGroupBox *>()) {
        if (box->title() == title)
            return box;
    }
    ADD_FAILURE() << title.toStdString();
    return nullptr;
}

TEST_F(MainWindowTest, PicturesOfAComputedRecordShowWholeTextsInTheirColours)
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

    const QPixmap interpolationShot = window->grab();
    EXPECT_EQ(interpolationShot.size(), window->size());
    const QImage interpolation =
        saved(interpolationShot, QStringLiteral("main-interpolation.png"));
    test::expectNoClippedText(*window);
    const QRect chart = test::regionIn(*chAll(), *window);
    EXPECT_TRUE(test::showsColour(interpolation, chart, QColor(0, 0, 160))) << "the curve";
    EXPECT_TRUE(test::showsColour(interpolation, chart, QColor(255, 0, 0), 48)) << "measurements";
    EXPECT_TRUE(test::showsColour(interpolation, test::regionIn(*edA(), *window), CreamColor));
    EXPECT_FALSE(test::showsColour(interpolation, test::regionIn(*edFind(), *window), CreamColor))
        << "the search edit takes typing";

    pc()->setCurrentWidget(tsCalibration());
    returnToEventLoop();
    const QImage calibration = saved(window->grab(), QStringLiteral("main-calibration.png"));
    test::expectNoClippedText(*window);
    EXPECT_TRUE(test::showsColour(calibration, test::regionIn(*dbgBB(), *window), CreamColor));
    // Each method's results under a caption in its colour.
    for (const auto &[title, colour] :
         {std::pair{QStringLiteral("Levenberg-Marquardt Solution"), NavyColor},
          std::pair{QStringLiteral("Particle Swarm Optimization"), QColor(Qt::red)}}) {
        const QGroupBox *group = groupTitled(*window, title);
        ASSERT_NE(group, nullptr);
        QRect caption = test::regionIn(*group, *window);
        caption.setHeight(group->fontMetrics().height() + 4);
        EXPECT_TRUE(test::showsColour(calibration, caption, colour, 24)) << title.toStdString();
    }
    EXPECT_TRUE(dialogs.messages.isEmpty()) << messagesShown();
    window->close();
}

} // namespace
} // namespace kelvora
