// The calibration window at its smallest in the faces of common desktops (where a face is
// missing, the system's substitute): every box shows the widest value of its format whole,
// and no caption or label is cut.

#include "ui_main_fixture.h"

#include "../casename.h"
#include "frontend/systemlocale.h"
#include "ui/appearance.h"
#include "ui/calibration.h"
#include "wholetext.h"

#include <QApplication>
#include <QFontInfo>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include <string>
#include <vector>

namespace kelvora {
namespace {

using test::MainWindowTest;
using test::showsWhole;
using testcase::CaseName;
using testcase::PrintTo;

struct FaceCase
{
    const char *name;
    const char *family;
};

class CalibrationWindowFaces : public MainWindowTest,
                               public ::testing::WithParamInterface<FaceCase>
{
protected:
    void SetUp() override
    {
        MainWindowTest::SetUp();
        QFont font = KelvoraFont();
        font.setFamilies({QString::fromLatin1(GetParam().family)});
        QApplication::setFont(font);
        startEmpty();
        importRecord(QStringLiteral("Lamp"));
    }

    void TearDown() override
    {
        window.reset();
        QApplication::setFont(KelvoraFont());
    }

    // Opens the window at its minimum size and hands it to `check`.
    void atMinimumSize(const std::function<void(TFCalibration &)> &check)
    {
        dialogs.dialogScripts.push_back([&](QDialog &dialog) {
            auto &calibration = dynamic_cast<TFCalibration &>(dialog);
            calibration.show();
            calibration.resize(calibration.minimumSize());
            QCoreApplication::processEvents();
            SCOPED_TRACE(QFontInfo(calibration.font()).family().toStdString());
            check(calibration);
        });
        btnCompute()->click();
    }

    // "." in the text stands for the system's decimal separator.
    static QString shown(const char *text)
    {
        const QChar separator = QChar::fromLatin1(systemTextLocale().decimalSeparator);
        return QString::fromUtf8(text).replace(QLatin1Char('.'), separator);
    }
};

// The widest texts each box can be given: A, B, C of a fit in extended precision in the
// general format with 15 digits, mean RMS values in the fixed format with 4 decimals, and
// counts of iterations, passes and improvements.
struct BoxTexts
{
    const char *box;
    std::vector<const char *> texts;
};

const std::vector<const char *> GeneralTexts{"-1.23456789012345E-4931",
                                             "-8.88888888888888E-4888",
                                             "-0.000888888888888889", "-888888888888888"};
const std::vector<const char *> MeanRMSTexts{"8.88888888E4888", "888888888.8888"};
const std::vector<const char *> CountTexts{"4294967295", "8888888888"};

const std::vector<BoxTexts> Boxes{
    {"edNILM", CountTexts},        {"edALM", GeneralTexts},  {"edBLM", GeneralTexts},
    {"edCLM", GeneralTexts},       {"edMeanRMSLM", MeanRMSTexts},
    {"edRestartNo", CountTexts},   {"edNSucc", CountTexts},  {"edAPSO", GeneralTexts},
    {"edBPSO", GeneralTexts},      {"edCPSO", GeneralTexts}, {"edMeanRMSPSO", MeanRMSTexts},
};

TEST_P(CalibrationWindowFaces, BoxesShowTheWidestValuesWhole)
{
    atMinimumSize([&](TFCalibration &calibration) {
        EXPECT_GE(calibration.width(), 995);
        EXPECT_GE(calibration.height(), 600);
        for (const BoxTexts &row : Boxes) {
            auto *box = calibration.findChild<QLineEdit *>(QLatin1String(row.box));
            ASSERT_NE(box, nullptr) << row.box;
            for (const char *text : row.texts)
                EXPECT_TRUE(showsWhole(box, shown(text))) << row.box << " " << text;
        }
    });
}

TEST_P(CalibrationWindowFaces, CaptionsAndLabelsAreWhole)
{
    atMinimumSize([&](TFCalibration &calibration) {
        for (QWidget *control : calibration.findChildren<QWidget *>()) {
            if (!control->isVisible())
                continue;
            QSize needed;
            if (qobject_cast<QPushButton *>(control) || qobject_cast<QLabel *>(control))
                needed = control->sizeHint();
            else if (qobject_cast<QGroupBox *>(control))
                needed = control->minimumSizeHint();
            else
                continue;
            const std::string what = control->metaObject()->className() + std::string(" ")
                                     + control->objectName().toStdString() + " "
                                     + control->property("text").toString().toStdString();
            EXPECT_GE(control->width(), needed.width()) << what;
            EXPECT_GE(control->height(), needed.height()) << what;
        }
    });
}

INSTANTIATE_TEST_SUITE_P(Faces, CalibrationWindowFaces,
                         ::testing::Values(FaceCase{"DejaVuSans", "DejaVu Sans"},
                                           FaceCase{"LiberationSans", "Liberation Sans"},
                                           FaceCase{"NotoSans", "Noto Sans"}),
                         CaseName);

} // namespace
} // namespace kelvora
