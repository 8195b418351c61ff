// A picture of a chart is proposed under the name of the record it shows.

#include "ui_calibration_fixture.h"

#include "../casename.h"
#include "ui/charteditor.h"
#include "ui/chartpicture.h"
#include "ui/residualchart.h"

#include <QAction>
#include <QMenu>

#include <memory>

namespace kelvora::test {
namespace {

using testcase::CaseName;
using testcase::PrintTo;

enum class Asked { MainChartMenu, MainGraphEditor, CalibrationChartMenu, CalibrationGraphEditor };

struct PictureNameCase
{
    const char *name;
    Asked asked;
};

class PictureName : public CalibrationWindow, public ::testing::WithParamInterface<PictureNameCase>
{
protected:
    // Asks for a picture of the chart from its menu, accepts the settings and cancels the
    // file dialog.
    void askFromTheMenu(ChartView &chart)
    {
        dialogs.dialogScripts.push_back([](QDialog &settings) { settings.accept(); });
        dialogs.pictureAnswers.push_back(QString());
        const std::unique_ptr<QMenu> menu(chart.makeContextMenu());
        auto *save = menu->findChild<QAction *>(QStringLiteral("actSavePicture"));
        ASSERT_NE(save, nullptr);
        save->trigger();
    }

    // The same from the graph editor that `editGraph` opens.
    void askFromTheEditor(QPushButton *editGraph)
    {
        dialogs.dialogScripts.push_back([](QDialog &editor) {
            dynamic_cast<ChartEditor &>(editor).btnPicture->click();
        });
        dialogs.dialogScripts.push_back([](QDialog &settings) { settings.accept(); });
        dialogs.pictureAnswers.push_back(QString());
        editGraph->click();
    }

    void ask(TFCalibration *calibration)
    {
        switch (GetParam().asked) {
        case Asked::MainChartMenu:
            askFromTheMenu(*chAll());
            break;
        case Asked::MainGraphEditor:
            askFromTheEditor(btnEditUnc());
            break;
        case Asked::CalibrationChartMenu:
            askFromTheMenu(*control<ResidualChart>(*calibration, "chApprox"));
            break;
        case Asked::CalibrationGraphEditor:
            askFromTheEditor(control<QPushButton>(*calibration, "btnEditUnc"));
            break;
        }
    }

    QString lastProposal() const
    {
        return dialogs.pictureRequests.empty() ? QString()
                                               : dialogs.pictureRequests.back().proposedName;
    }
};

TEST_P(PictureName, IsTheRecordsName)
{
    startEmpty();
    importRecord(QStringLiteral("Copper point lamp"));
    importRecord(QStringLiteral("Lamp 3.1"));
    makeComputed();
    const bool inCalibration = GetParam().asked == Asked::CalibrationChartMenu
                               || GetParam().asked == Asked::CalibrationGraphEditor;
    if (inCalibration) {
        openCalibration([&](TFCalibration &calibration) {
            ask(&calibration);
            EXPECT_EQ(lastProposal(), QStringLiteral("Lamp 3_1.png"));
        });
        return;
    }
    ask(nullptr);
    EXPECT_EQ(lastProposal(), QStringLiteral("Lamp 3_1.png"));
    // The name follows the record that the window shows.
    cdsMain().setRecNo(2);
    ASSERT_EQ(RecordRow(cdsMain()).name(), "Copper point lamp");
    ask(nullptr);
    EXPECT_EQ(lastProposal(), QStringLiteral("Copper point lamp.png"));
    EXPECT_TRUE(dialogs.allAnswersUsed());
    EXPECT_TRUE(dialogs.messages.isEmpty()) << messagesShown();
}

INSTANTIATE_TEST_SUITE_P(
    Charts, PictureName,
    ::testing::Values(PictureNameCase{"MainChartMenu", Asked::MainChartMenu},
                      PictureNameCase{"MainGraphEditor", Asked::MainGraphEditor},
                      PictureNameCase{"CalibrationChartMenu", Asked::CalibrationChartMenu},
                      PictureNameCase{"CalibrationGraphEditor", Asked::CalibrationGraphEditor}),
    CaseName);

} // namespace
} // namespace kelvora::test
