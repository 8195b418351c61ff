#include "core/errors.h"
#include "core/global.h"
#include "ui/chart.h"
#include "ui/charteditor.h"
#include "ui/chartpicture.h"
#include "ui/checklegend.h"

#include "../casename.h"
#include "scripteddialogs.h"

#include <QChart>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QImageReader>
#include <QLabel>
#include <QLineSeries>
#include <QMenu>
#include <QPushButton>
#include <QRegularExpression>
#include <QScatterSeries>
#include <QSpinBox>
#include <QSvgRenderer>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <cmath>
#include <memory>

namespace kelvora {
namespace {

using test::ScriptedDialogs;
using testcase::CaseName;
using testcase::PrintTo;

const QColor CurveColour(0, 0, 160);

// The main chart on the screen with a drawing: a curve, reference and measured points.
class ChartOnScreen : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        TParamVector P;
        P[1] = 0.65L;
        P[2] = 0.05L;
        P[3] = 1.0e6L;
        std::vector<ChartPoint> reference;
        for (const double T : {800.0, 1100.0, 1500.0})
            reference.push_back({T, static_cast<double>(SHSignal(P, T))});
        chart.draw(P, reference, {{1300.0, static_cast<double>(SHSignal(P, 1300.0))}});
        chart.resize(700, 400);
        chart.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&chart));
    }

    QString path(const char *name) const { return dir.filePath(QLatin1String(name)); }

    QTemporaryDir dir;
    MainChart chart;
    ScriptedDialogs dialogs;
};

bool hasColour(const QImage &image, const QColor &colour)
{
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (image.pixelColor(x, y) == colour)
                return true;
    return false;
}

// ---- writing the picture -----------------------------------------------------------------

struct PictureCase
{
    const char *name;
    const char *file;
    QSize pixels;
    int dpi;
};

class ChartPictureFile : public ChartOnScreen, public ::testing::WithParamInterface<PictureCase>
{
};

TEST_P(ChartPictureFile, HasTheChosenSizeAndResolution)
{
    const PictureCase &c = GetParam();
    const QSizeF onScreen = chart.chart()->size();
    saveChartPicture(chart.chart(), path(c.file), {c.pixels, c.dpi});
    // The chart on the screen is as it was, its legend with its check boxes.
    EXPECT_EQ(chart.chart()->size(), onScreen);
    EXPECT_FALSE(checkLegendOf(chart.chart())->checkBoxRect(0).isEmpty());

    const double millimetresWide = c.pixels.width() * 25.4 / c.dpi;
    if (!QString::fromLatin1(c.file).endsWith(QLatin1String(".svg"), Qt::CaseInsensitive)) {
        QImageReader reader(path(c.file));
        EXPECT_EQ(reader.format(), QByteArray("png"));
        const QImage image = reader.read();
        ASSERT_FALSE(image.isNull());
        EXPECT_EQ(image.size(), c.pixels);
        EXPECT_NEAR(image.dotsPerMeterX() * 0.0254, c.dpi, 0.5);
        EXPECT_TRUE(hasColour(image, Qt::white));
        // The curve's blue, in its middle where the line is wider than a pixel.
        EXPECT_TRUE(hasColour(image, CurveColour));
    } else {
        QSvgRenderer svg(path(c.file));
        ASSERT_TRUE(svg.isValid());
        QFile file(path(c.file));
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        const QString text = QString::fromUtf8(file.readAll());
        const QRegularExpressionMatch width =
            QRegularExpression(QStringLiteral("<svg[^>]* width=\"([0-9.]+)mm\"")).match(text);
        ASSERT_TRUE(width.hasMatch()) << text.left(400).toStdString();
        EXPECT_NEAR(width.captured(1).toDouble(), millimetresWide, 0.5);
        EXPECT_TRUE(text.contains(QStringLiteral("#0000a0"), Qt::CaseInsensitive))
            << "the curve is drawn";
        EXPECT_TRUE(text.contains(QStringLiteral("Temperature (K)"))) << "axis titles are text";
    }
}

INSTANTIATE_TEST_SUITE_P(
    Files, ChartPictureFile,
    ::testing::Values(PictureCase{"PngForACertificate", "chart.png", QSize(1800, 1100), 300},
                      PictureCase{"PngAsOnTheScreen", "screen.PNG", QSize(700, 400), 96},
                      PictureCase{"PngOfAnyName", "chart.picture", QSize(640, 480), 150},
                      PictureCase{"Svg", "chart.svg", QSize(1890, 1181), 300},
                      PictureCase{"SvgUpperCase", "CHART.SVG", QSize(800, 600), 100}),
    CaseName);

class ChartPictureRefused : public ChartOnScreen,
                            public ::testing::WithParamInterface<const char *>
{
};

TEST_P(ChartPictureRefused, ReportsTheFile)
{
    const QString target = path("missing/") + QLatin1String(GetParam());
    try {
        saveChartPicture(chart.chart(), target, {QSize(300, 200), 96});
        ADD_FAILURE() << "no error";
    } catch (const Error &error) {
        EXPECT_TRUE(QString::fromStdString(error.what())
                        .startsWith(QStringLiteral("Cannot create file ") + target))
            << error.what();
    }
    EXPECT_FALSE(QFile::exists(target));
}

INSTANTIATE_TEST_SUITE_P(Kinds, ChartPictureRefused, ::testing::Values("a.png", "a.svg"));

TEST_F(ChartOnScreen, TheLegendOfAPictureHasNoCheckBoxesAndNoHiddenSeries)
{
    chart.seRef->setVisible(false);
    CheckLegend *legend = checkLegendOf(chart.chart());
    const QSizeF withBoxes = legend->size();
    legend->setPrinting(true);
    EXPECT_TRUE(legend->checkBoxRect(0).isEmpty());
    EXPECT_EQ(legend->series(),
              QList<QAbstractSeries *>({chart.seSH.data(), chart.seMeas.data()}));
    EXPECT_LT(legend->size().width(), withBoxes.width());
    legend->setPrinting(false);
    EXPECT_EQ(legend->series().size(), 3);
    EXPECT_EQ(legend->size(), withBoxes);
}

// ---- asking the user ---------------------------------------------------------------------

TEST_F(ChartOnScreen, TheSettingsProposeTheScreenSizeAt300Dpi)
{
    ChartPictureDialog dialog(chart.chart());
    const double scale = 300.0 / QImage(1, 1, QImage::Format_ARGB32).logicalDpiX();
    EXPECT_EQ(dialog.seResolution->value(), 300);
    EXPECT_EQ(dialog.seWidth->value(), std::lround(700 * scale));
    EXPECT_EQ(dialog.seHeight->value(), std::lround(400 * scale));
    dialog.seWidth->setValue(3000);
    dialog.seHeight->setValue(1500);
    const QChar point = QLocale::system().decimalPoint().at(0);
    EXPECT_EQ(dialog.lblPrintedSize->text(),
              QStringLiteral("254") + point + QStringLiteral("0 × 127") + point
                  + QStringLiteral("0 mm"));
    EXPECT_EQ(dialog.settings().pixels, QSize(3000, 1500));
}

struct AskCase
{
    const char *name;
    bool fromTheMenu; // else from the editor's button
    bool settingsAccepted;
    const char *file; // the answer of the file dialog; empty: cancelled
};

class ChartPictureAsked : public ChartOnScreen, public ::testing::WithParamInterface<AskCase>
{
};

TEST_P(ChartPictureAsked, WritesWhatTheUserChose)
{
    const AskCase &c = GetParam();
    dialogs.dialogScripts.push_back([&c](QDialog &dialog) {
        auto *settings = dynamic_cast<ChartPictureDialog *>(&dialog);
        ASSERT_NE(settings, nullptr);
        settings->seWidth->setValue(800);
        settings->seHeight->setValue(500);
        settings->seResolution->setValue(200);
        (c.settingsAccepted ? settings->btnOK : settings->btnCancel)->click();
    });
    const QString file = *c.file != 0 ? path(c.file) : QString();
    if (c.settingsAccepted)
        dialogs.pictureAnswers.push_back(file);

    if (c.fromTheMenu) {
        chart.setDialogs(&dialogs, QStringLiteral("/pictures"));
        const std::unique_ptr<QMenu> menu(chart.makeContextMenu());
        QAction *save = menu->findChild<QAction *>(QStringLiteral("actSavePicture"));
        ASSERT_NE(save, nullptr);
        EXPECT_EQ(save->text(), QStringLiteral("Save as Picture..."));
        save->trigger();
    } else {
        ChartEditor editor(chart.chart(), dialogs, QStringLiteral("/pictures"), QString());
        editor.btnPicture->click();
    }

    EXPECT_EQ(dialogs.dialogTitles, QStringList{"Save Chart as Picture"});
    ASSERT_EQ(dialogs.pictureRequests.size(), c.settingsAccepted ? 1u : 0u);
    if (c.settingsAccepted) {
        EXPECT_EQ(dialogs.pictureRequests[0].title, QStringLiteral("Save Chart as Picture"));
        EXPECT_EQ(dialogs.pictureRequests[0].folder, QStringLiteral("/pictures"));
        EXPECT_EQ(dialogs.pictureRequests[0].proposedName, QStringLiteral("chart.png"));
    }
    EXPECT_TRUE(dialogs.messages.isEmpty()) << dialogs.messages.join('|').toStdString();
    if (c.settingsAccepted && !file.isEmpty()) {
        EXPECT_EQ(QImage(file).size(), QSize(800, 500));
    } else {
        EXPECT_TRUE(QDir(dir.path()).isEmpty()) << "nothing written";
    }
}

INSTANTIATE_TEST_SUITE_P(
    Answers, ChartPictureAsked,
    ::testing::Values(AskCase{"EditorSaves", false, true, "graph.png"},
                      AskCase{"MenuSaves", true, true, "graph.png"},
                      AskCase{"SettingsCancelled", false, false, ""},
                      AskCase{"FileCancelled", true, true, ""}),
    CaseName);

TEST_F(ChartOnScreen, AFileThatCannotBeWrittenIsShown)
{
    dialogs.dialogScripts.push_back([](QDialog &dialog) { dialog.accept(); });
    dialogs.pictureAnswers.push_back(path("missing/graph.svg"));
    ChartEditor editor(chart.chart(), dialogs, QString(), QString());
    editor.btnPicture->click();
    ASSERT_EQ(dialogs.messages.size(), 1);
    EXPECT_TRUE(dialogs.messages[0].startsWith(QStringLiteral("Cannot create file ")))
        << dialogs.messages[0].toStdString();
    EXPECT_TRUE(editor.isEnabled());
}

} // namespace
} // namespace kelvora
