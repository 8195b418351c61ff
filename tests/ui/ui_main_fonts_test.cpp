#include "ui_main_fixture.h"

#include "../casename.h"
#include "frontend/systemlocale.h"
#include "ui/appearance.h"
#include "ui/boundedit.h"
#include "ui/grid.h"
#include "wholetext.h"

#include <QApplication>
#include <QCheckBox>
#include <QFontInfo>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>

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

// The main window at its smallest, with a computed record on the page with the most
// controls, in the faces of common desktops (where a face is missing, the system's
// substitute: the DejaVu-only run sees DejaVu Sans in every case).
class MainWindowFaces : public MainWindowTest, public ::testing::WithParamInterface<FaceCase>
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
        makeComputed();
        window->show();
        pc()->setCurrentWidget(tsMeasurements());
        window->resize(window->minimumSize());
        returnToEventLoop();
        ASSERT_EQ(window->size(), window->minimumSize());
        ASSERT_TRUE(dialogs.messages.isEmpty()) << messagesShown();
        face = QFontInfo(window->font()).family().toStdString();
    }

    void TearDown() override
    {
        window.reset();
        QApplication::setFont(KelvoraFont());
    }

    // "." in the text stands for the system's decimal separator.
    static QString shown(const char *text)
    {
        const QChar separator = QChar::fromLatin1(systemTextLocale().decimalSeparator);
        return QString::fromUtf8(text).replace(QLatin1Char('.'), separator);
    }

    std::string face;
};

// The widest texts each read-only edit can be given: numbers of the general format with 15
// digits (the negative ones in scientific notation are the longest), and the display
// patterns over the range of their values.
struct EditTexts
{
    const char *edit;
    std::vector<const char *> texts;
};

const std::vector<const char *> GeneralTexts{"-1.23456789012345E-308",
                                             "-8.88888888888888E-308",
                                             "-0.000888888888888889", "-888888888888888"};

const std::vector<EditTexts> ReadOnlyEdits{
    {"dbeMeanWL", {"999.99999", "1000.0"}},
    {"dbeBandwidth", {"999.88888"}},
    {"dbeAS", GeneralTexts},
    {"dbeBS", GeneralTexts},
    {"dbeCS", GeneralTexts},
    {"dbeALM", GeneralTexts},
    {"dbeBLM", GeneralTexts},
    {"dbeCLM", GeneralTexts},
    {"dbeMeanRMSLM", {"888888.8888"}},
    {"dbeAPSO", GeneralTexts},
    {"dbeBPSO", GeneralTexts},
    {"dbeCPSO", GeneralTexts},
    {"dbeMeanRMSPSO", {"888888.8888"}},
    {"edA", GeneralTexts},
    {"edB", GeneralTexts},
    {"edC", GeneralTexts},
    {"RzDBEdit7", GeneralTexts},
    {"RzDBEdit8", GeneralTexts},
    {"RzDBEdit9", {"3999.8888", "4000.0000"}},
    {"RzDBEdit13", {"3999.8888", "4000.0000"}},
};

TEST_P(MainWindowFaces, ReadOnlyEditsShowTheWidestValuesWhole)
{
    SCOPED_TRACE(face);
    for (const EditTexts &row : ReadOnlyEdits) {
        auto *edit = window->findChild<QLineEdit *>(QLatin1String(row.edit));
        ASSERT_NE(edit, nullptr) << row.edit;
        for (const char *text : row.texts)
            EXPECT_TRUE(showsWhole(edit, shown(text))) << row.edit << " " << text;
    }
    // The check sees a cut text.
    auto *edit = window->findChild<QLineEdit *>(QStringLiteral("dbeALM"));
    EXPECT_FALSE(showsWhole(edit, shown(GeneralTexts[0]).repeated(2)));
}

TEST_P(MainWindowFaces, GridColumnsHoldTheirTitlesAndWidestValues)
{
    SCOPED_TRACE(face);
    // A reference point and a measurement with the widest values of their columns.
    Table &bb = cdsBB();
    bb.edit();
    ReferencePointRowEditor point(bb);
    point.setS(-8.88888888888e-308);
    point.setT(3999.8888);
    point.setTLM(88888.8888);
    point.setTPSO(88888.8888);
    point.setDTLM(-8888888.88);
    point.setDTPSO(-8888888.88);
    point.setDifference(-8888888.88);
    point.setUT(888888.888);
    bb.post();
    Table &interp = cdsInterp();
    interp.append();
    MeasurementRowEditor measurement(interp);
    measurement.setS(-8.88888888888e-308);
    measurement.setT(88888.8888);
    measurement.setU(888888.888);
    interp.post();
    PostIfEditing(cdsMain());
    returnToEventLoop();

    for (Grid *grid : {dbgMain(), dbgBB(), dbgInterp()}) {
        for (int c = 0; c < grid->model()->columnCount(); ++c) {
            const std::string where = grid->objectName().toStdString() + " column "
                                      + std::to_string(c);
            EXPECT_GE(grid->columnWidth(c), grid->horizontalHeader()->sectionSizeHint(c))
                << where << ": title";
            const auto *view = static_cast<const QAbstractItemView *>(grid);
            EXPECT_GE(grid->columnWidth(c), view->sizeHintForColumn(c)) << where << ": values";
        }
    }
}

TEST_P(MainWindowFaces, CaptionsAndTitlesAreWhole)
{
    SCOPED_TRACE(face);
    for (int page : {0, 1}) {
        pc()->setCurrentIndex(page);
        returnToEventLoop();
        for (QWidget *control : window->findChildren<QWidget *>()) {
            if (!control->isVisible())
                continue;
            QSize needed;
            if (qobject_cast<QPushButton *>(control) || qobject_cast<QRadioButton *>(control)
                || qobject_cast<QCheckBox *>(control) || qobject_cast<QLabel *>(control))
                needed = control->sizeHint();
            else if (qobject_cast<QGroupBox *>(control))
                needed = control->minimumSizeHint();
            else
                continue;
            const std::string what = control->metaObject()->className() + std::string(" ")
                                     + control->objectName().toStdString();
            EXPECT_GE(control->width(), needed.width()) << what;
            EXPECT_GE(control->height(), needed.height()) << what;
        }
    }
}

TEST_P(MainWindowFaces, StatusPanesHoldTheLargestCounts)
{
    SCOPED_TRACE(face);
    for (QLabel *pane : {static_cast<QLabel *>(dbspRecNoMain()),
                         static_cast<QLabel *>(dbspRecordCountMain()),
                         static_cast<QLabel *>(dbspRecNoBB()),
                         static_cast<QLabel *>(dbspRecordCountBB()),
                         static_cast<QLabel *>(dbspRecNoInterp()),
                         static_cast<QLabel *>(dbspRecordCountInterp())}) {
        pane->setText(pane->text().section(QLatin1Char(':'), 0, 0) + QStringLiteral(": 88888"));
        EXPECT_GE(pane->width(), pane->sizeHint().width()) << pane->text().toStdString();
    }
}

INSTANTIATE_TEST_SUITE_P(Faces, MainWindowFaces,
                         ::testing::Values(FaceCase{"DejaVuSans", "DejaVu Sans"},
                                           FaceCase{"LiberationSans", "Liberation Sans"},
                                           FaceCase{"NotoSans", "Noto Sans"}),
                         CaseName);

} // namespace
} // namespace kelvora
