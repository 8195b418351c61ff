#include "core/errors.h"
#include "records/interpolation.h"
#include "ui/about.h"
#include "ui/appearance.h"
#include "ui/dialogs.h"
#include "ui/errorsink.h"
#include "ui/outofrange.h"

#include "../casename.h"
#include "modalwatch.h"
#include "scripteddialogs.h"
#include "wholetext.h"

#include <QDialogButtonBox>
#include <QFileDialog>
#include <QHeaderView>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeView>

#include <gtest/gtest.h>

#include <functional>
#include <stdexcept>

namespace kelvora {
namespace {

using test::ScriptedDialogs;
using test::whenModalShown;
using testcase::CaseName;
using testcase::PrintTo;

// ---- the text-file dialogs ------------------------------------------------------------

struct FileDialogCase
{
    bool save;
    QString what;
    QString title;
};

void PrintTo(const FileDialogCase &c, std::ostream *os)
{
    *os << (c.save ? "Save" : "Load") << c.what.toStdString();
}

class TextFileDialogTitles : public ::testing::TestWithParam<FileDialogCase>
{
};

TEST_P(TextFileDialogTitles, TitleFolderAndAnswerPassThrough)
{
    const FileDialogCase &c = GetParam();
    ScriptedDialogs dialogs;
    const QString folder = QStringLiteral("/tmp/Data/Input");
    const QString answer = folder + QStringLiteral("/Lamp 3.txt");
    QString path;
    if (c.save) {
        dialogs.saveAnswers.push_back(answer);
        path = SaveTextFileDialog(dialogs, c.what, folder, QStringLiteral("Lamp 3_2024"));
        ASSERT_EQ(dialogs.saveRequests.size(), 1u);
        EXPECT_EQ(dialogs.saveRequests[0].title, c.title);
        EXPECT_EQ(dialogs.saveRequests[0].folder, folder);
        EXPECT_EQ(dialogs.saveRequests[0].proposedName, QStringLiteral("Lamp 3_2024"));
    } else {
        dialogs.openAnswers.push_back(answer);
        path = OpenTextFileDialog(dialogs, c.what, folder);
        ASSERT_EQ(dialogs.openRequests.size(), 1u);
        EXPECT_EQ(dialogs.openRequests[0].title, c.title);
        EXPECT_EQ(dialogs.openRequests[0].folder, folder);
    }
    EXPECT_EQ(path, answer);
}

INSTANTIATE_TEST_SUITE_P(
    Titles, TextFileDialogTitles,
    ::testing::Values(
        FileDialogCase{false, QStringLiteral("Record"),
                       QStringLiteral("Load Record from Text File")},
        FileDialogCase{false, QStringLiteral("Signals"),
                       QStringLiteral("Load Signals from Text File")},
        FileDialogCase{true, QStringLiteral("Record"), QStringLiteral("Save Record in Text File")},
        FileDialogCase{true, QStringLiteral("Results"),
                       QStringLiteral("Save Results in Text File")}));

TEST(ShownText, CarriageReturnsBecomeLineBreaks)
{
    const QChar cr(13);
    EXPECT_EQ(shownText(QStringLiteral("a") + cr + QStringLiteral("b") + cr + cr + "c"),
              QStringLiteral("a\nb\n\nc"));
    EXPECT_EQ(shownText(QStringLiteral("one line")), QStringLiteral("one line"));
}

// ---- the real dialogs, answered by a timer ----------------------------------------------

TEST(QtDialogsMessage, CaptionedKelvoraWithLineBreaksAndOk)
{
    QtDialogs dialogs;
    QString title;
    QString text;
    bool onlyOk = false;
    whenModalShown<QMessageBox>([&](QMessageBox *box) {
        title = box->windowTitle();
        text = box->text();
        onlyOk = box->standardButtons() == QMessageBox::Ok;
        box->button(QMessageBox::Ok)->click();
    });
    dialogs.message(QStringLiteral("Error in reading file x") + QChar(13) + "second");
    EXPECT_EQ(title, QStringLiteral("Kelvora"));
    EXPECT_EQ(text, QStringLiteral("Error in reading file x\nsecond"));
    EXPECT_TRUE(onlyOk);
}

struct ConfirmCase
{
    Dialogs::Buttons buttons;
    QMessageBox::StandardButton press;
    bool expected;
};

void PrintTo(const ConfirmCase &c, std::ostream *os)
{
    *os << (c.buttons == Dialogs::Buttons::YesNo ? "YesNo_" : "OkCancel_");
    switch (c.press) {
    case QMessageBox::Yes: *os << "Yes"; break;
    case QMessageBox::No: *os << "No"; break;
    case QMessageBox::Ok: *os << "Ok"; break;
    default: *os << "Cancel"; break;
    }
}

class QtDialogsConfirm : public ::testing::TestWithParam<ConfirmCase>
{
};

TEST_P(QtDialogsConfirm, QuestionBoxWithItsTwoButtons)
{
    const ConfirmCase &c = GetParam();
    QtDialogs dialogs;
    QMessageBox::StandardButtons shown;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    whenModalShown<QMessageBox>([&](QMessageBox *box) {
        shown = box->standardButtons();
        icon = box->icon();
        box->button(c.press)->click();
    });
    EXPECT_EQ(dialogs.confirm(QStringLiteral("Delete selected record?"), c.buttons), c.expected);
    const QMessageBox::StandardButtons expectedButtons =
        c.buttons == Dialogs::Buttons::YesNo ? QMessageBox::Yes | QMessageBox::No
                                             : QMessageBox::Ok | QMessageBox::Cancel;
    EXPECT_EQ(shown, expectedButtons);
    EXPECT_EQ(icon, QMessageBox::Question);
}

INSTANTIATE_TEST_SUITE_P(
    Answers, QtDialogsConfirm,
    ::testing::Values(ConfirmCase{Dialogs::Buttons::YesNo, QMessageBox::Yes, true},
                      ConfirmCase{Dialogs::Buttons::YesNo, QMessageBox::No, false},
                      ConfirmCase{Dialogs::Buttons::OkCancel, QMessageBox::Ok, true},
                      ConfirmCase{Dialogs::Buttons::OkCancel, QMessageBox::Cancel, false}));

TEST(QtDialogsQuery, ReturnsTheEditedValueOrNothing)
{
    QtDialogs dialogs;
    QString caption;
    QString prompt;
    QString value;
    whenModalShown<QInputDialog>([&](QInputDialog *input) {
        caption = input->windowTitle();
        prompt = input->labelText();
        value = input->textValue();
        input->setTextValue(QStringLiteral("Lamp 4"));
        input->accept();
    });
    EXPECT_EQ(dialogs.query(QStringLiteral("New Record"), QStringLiteral("Record Name "),
                            QStringLiteral("Lamp 3")),
              std::optional<QString>(QStringLiteral("Lamp 4")));
    EXPECT_EQ(caption, QStringLiteral("New Record"));
    EXPECT_EQ(prompt, QStringLiteral("Record Name "));
    EXPECT_EQ(value, QStringLiteral("Lamp 3"));

    whenModalShown<QInputDialog>([](QInputDialog *input) { input->reject(); });
    EXPECT_EQ(dialogs.query(QStringLiteral("New Record"), QStringLiteral("Record Name "),
                            QStringLiteral("Lamp 3")),
              std::nullopt);
}

class QtDialogsFile : public ::testing::TestWithParam<bool>
{
};

// The file dialogs are checked and cancelled: what the user then picks is Qt's own affair.
TEST_P(QtDialogsFile, TextFilterDefaultSuffixAndFolder)
{
    const bool save = GetParam();
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    QtDialogs dialogs;
    QString title;
    QStringList filters;
    QString suffix;
    QString directory;
    QString proposed;
    QFileDialog::FileMode mode = QFileDialog::ExistingFile;
    bool confirmsOverwrite = false;
    whenModalShown<QFileDialog>([&](QFileDialog *dialog) {
        title = dialog->windowTitle();
        filters = dialog->nameFilters();
        suffix = dialog->defaultSuffix();
        directory = dialog->directory().absolutePath();
        proposed = dialog->selectedFiles().value(0);
        mode = dialog->fileMode();
        confirmsOverwrite = !dialog->testOption(QFileDialog::DontConfirmOverwrite);
        dialog->close();
    });
    const QString path =
        save ? dialogs.saveFile(QStringLiteral("Save Record in Text File"), folder.path(),
                                QStringLiteral("Lamp 3_2024"))
             : dialogs.openFile(QStringLiteral("Load Record from Text File"), folder.path());
    EXPECT_EQ(path, QString());
    EXPECT_EQ(title, save ? QStringLiteral("Save Record in Text File")
                          : QStringLiteral("Load Record from Text File"));
    EXPECT_EQ(filters, QStringList({QStringLiteral("Text Files (*.txt)"),
                                    QStringLiteral("All Files (*)")}));
    EXPECT_EQ(suffix, QStringLiteral("txt"));
    EXPECT_EQ(directory, QDir(folder.path()).absolutePath());
    // A missing file may be chosen: opening it reports the fault.
    EXPECT_EQ(mode, QFileDialog::AnyFile);
    if (save) {
        EXPECT_EQ(QFileInfo(proposed).fileName(), QStringLiteral("Lamp 3_2024.txt"));
        EXPECT_TRUE(confirmsOverwrite);
    }
}

INSTANTIATE_TEST_SUITE_P(Modes, QtDialogsFile, ::testing::Values(false, true),
                         [](const auto &info) {
                             return std::string(info.param ? "Save" : "Open");
                         });

// The columns of the file list show their contents whole: sizes, types and dates are not
// cut, and none of them lies beyond the dialog's edge.
TEST_P(QtDialogsFile, ShowsSizeTypeAndDateWhole)
{
    const bool save = GetParam();
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    QFile file(folder.filePath(QStringLiteral("Copper point lamp_2024-05-17 10-22-13.txt")));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(QByteArray(5000, 'x'));
    file.close();
    QtDialogs dialogs;
    bool checked = false;
    whenModalShown<QFileDialog>([&](QFileDialog *dialog) {
        auto *tree = dialog->findChild<QTreeView *>();
        ASSERT_NE(tree, nullptr);
        const QModelIndex root = tree->rootIndex();
        ASSERT_TRUE(QTest::qWaitFor([&] { return tree->model()->rowCount(root) > 0; }, 5000));
        QCoreApplication::processEvents();
        const QHeaderView *header = tree->header();
        const auto *view = static_cast<const QAbstractItemView *>(tree);
        for (int column = 1; column <= 3; ++column) {
            const std::string name =
                tree->model()->headerData(column, Qt::Horizontal).toString().toStdString();
            EXPECT_FALSE(header->isSectionHidden(column)) << name;
            EXPECT_GE(header->sectionSize(column), view->sizeHintForColumn(column)) << name;
            EXPECT_GE(header->sectionSize(column), header->sectionSizeHint(column)) << name;
            EXPECT_LE(header->sectionViewportPosition(column) + header->sectionSize(column),
                      tree->viewport()->width())
                << name;
        }
        checked = true;
        dialog->close();
    });
    if (save)
        dialogs.saveFile(QStringLiteral("Save Record in Text File"), folder.path(),
                         QStringLiteral("Lamp 3_2024"));
    else
        dialogs.openFile(QStringLiteral("Load Record from Text File"), folder.path());
    EXPECT_TRUE(checked);
}

// The picture dialog offers both kinds, and a name typed without extension gets the one of
// the kind chosen.
TEST(QtDialogsPicture, PngAndSvgWithTheSuffixOfTheChosenKind)
{
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    QtDialogs dialogs;
    QStringList filters;
    QStringList suffixes;
    QString proposed;
    whenModalShown<QFileDialog>([&](QFileDialog *dialog) {
        filters = dialog->nameFilters();
        proposed = QFileInfo(dialog->selectedFiles().value(0)).fileName();
        suffixes << dialog->defaultSuffix();
        dialog->selectNameFilter(filters.value(1));
        emit dialog->filterSelected(filters.value(1));
        suffixes << dialog->defaultSuffix();
        dialog->close();
    });
    EXPECT_EQ(dialogs.savePicture(QStringLiteral("Save Chart as Picture"), folder.path(),
                                  QStringLiteral("chart.png")),
              QString());
    EXPECT_EQ(filters, QStringList({QStringLiteral("PNG Image (*.png)"),
                                    QStringLiteral("SVG Drawing (*.svg)")}));
    EXPECT_EQ(suffixes, QStringList({QStringLiteral("png"), QStringLiteral("svg")}));
    EXPECT_EQ(proposed, QStringLiteral("chart.png"));
}

struct BoxCase
{
    const char *name;
    bool question;
    const char *text;
};

class QtDialogsBoxWidth : public ::testing::TestWithParam<BoxCase>
{
};

// However short the text, the box leaves its title bar room for "Kelvora" in a window
// manager's bold title beside an icon and three buttons.
TEST_P(QtDialogsBoxWidth, ShowsTheCaptionWhole)
{
    const BoxCase &c = GetParam();
    QtDialogs dialogs;
    int width = 0;
    whenModalShown<QMessageBox>([&](QMessageBox *box) {
        width = box->width();
        box->button(c.question ? QMessageBox::No : QMessageBox::Ok)->click();
    });
    if (c.question)
        dialogs.confirm(QString::fromLatin1(c.text), Dialogs::Buttons::YesNo);
    else
        dialogs.message(QString::fromLatin1(c.text));
    QFont title = QApplication::font();
    title.setBold(true);
    title.setPointSize(10);
    EXPECT_GE(width, QFontMetrics(title).horizontalAdvance(QStringLiteral("Kelvora")) + 4 * 24);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, QtDialogsBoxWidth,
    ::testing::Values(BoxCase{"Empty", false, ""}, BoxCase{"Short", false, "Done."},
                      BoxCase{"Error", false, "Floating point overflow"},
                      BoxCase{"Question", true, "Delete?"}),
    CaseName);

// The record's name may take 100 characters: the query shows such a name whole.
TEST(QtDialogsQuery, ShowsAHundredCharacterNameWhole)
{
    const QString name = QStringLiteral("Pyrometer KE-1600 of the copper point furnace, "
                                        "calibrated at In, Sn, Zn, Al, Ag and Cu, room 2.14 #2");
    ASSERT_EQ(name.size(), 100);
    QtDialogs dialogs;
    bool whole = false;
    whenModalShown<QInputDialog>([&](QInputDialog *input) {
        auto *edit = input->findChild<QLineEdit *>();
        ASSERT_NE(edit, nullptr);
        whole = test::showsWhole(edit, name);
        input->reject();
    });
    dialogs.query(QStringLiteral("New Record"), QStringLiteral("Record Name "), name);
    EXPECT_TRUE(whole);
}

// Message boxes and the text query carry a close button only: nothing to minimise or
// maximise.
TEST(QtDialogsBoxButtons, AreTheCloseButtonOnly)
{
    QtDialogs dialogs;
    QList<Qt::WindowFlags> shown;
    const auto record = [&shown](QWidget *box) { shown << box->windowFlags(); };
    whenModalShown<QMessageBox>([&](QMessageBox *box) {
        record(box);
        box->button(QMessageBox::Ok)->click();
    });
    dialogs.message(QStringLiteral("Floating point overflow"));
    whenModalShown<QMessageBox>([&](QMessageBox *box) {
        record(box);
        box->button(QMessageBox::No)->click();
    });
    dialogs.confirm(QStringLiteral("Delete selected record?"), Dialogs::Buttons::YesNo);
    whenModalShown<QInputDialog>([&](QInputDialog *input) {
        record(input);
        input->reject();
    });
    dialogs.query(QStringLiteral("New Record"), QStringLiteral("Record Name "), QString());
    ASSERT_EQ(shown.size(), 3);
    for (const Qt::WindowFlags flags : shown) {
        // Without the customising hint the window manager decorates as it likes.
        EXPECT_TRUE(flags & Qt::CustomizeWindowHint);
        EXPECT_TRUE(flags & Qt::WindowTitleHint);
        EXPECT_TRUE(flags & Qt::WindowCloseButtonHint);
        EXPECT_FALSE(flags & Qt::WindowMinimizeButtonHint);
        EXPECT_FALSE(flags & Qt::WindowMaximizeButtonHint);
    }
}

// ---- the error sink ---------------------------------------------------------------------

class Thrower : public QObject
{
public:
    std::function<bool()> action;

    bool event(QEvent *) override { return action(); }
};

struct SinkCase
{
    const char *name;
    std::function<bool()> action;
    QStringList messages; // what the user sees
    bool handled;         // what the event delivery reports
};

class ErrorSinkEvents : public ::testing::TestWithParam<SinkCase>
{
protected:
    void SetUp() override { application().setErrorDialogs(&dialogs); }
    void TearDown() override { application().setErrorDialogs(nullptr); }

    static Application &application()
    {
        return dynamic_cast<Application &>(*QCoreApplication::instance());
    }

    ScriptedDialogs dialogs;
};

TEST_P(ErrorSinkEvents, ShowsTheErrorTextAndGoesOn)
{
    const SinkCase &c = GetParam();
    Thrower thrower;
    thrower.action = c.action;
    QEvent event(QEvent::User);
    EXPECT_EQ(QCoreApplication::sendEvent(&thrower, &event), c.handled);
    EXPECT_EQ(dialogs.messages, c.messages);
    // The program goes on: the next event is delivered as usual.
    thrower.action = [] { return false; };
    EXPECT_FALSE(QCoreApplication::sendEvent(&thrower, &event));
}

INSTANTIATE_TEST_SUITE_P(
    Errors, ErrorSinkEvents,
    ::testing::Values(
        SinkCase{"Store", [] () -> bool { throw StoreError("Key violation."); },
                 {QStringLiteral("Key violation.")}, true},
        SinkCase{"Range", [] () -> bool { throw RangeError(); },
                 {QStringLiteral("Range check error")}, true},
        SinkCase{"Float",
                 [] () -> bool { throw FloatError(FloatError::Kind::Overflow); },
                 {QStringLiteral("Floating point overflow")}, true},
        SinkCase{"Standard", [] () -> bool { throw std::runtime_error("No such file"); },
                 {QStringLiteral("No such file")}, true},
        SinkCase{"NoError", [] { return true; }, {}, true},
        SinkCase{"Unhandled", [] { return false; }, {}, false}),
    CaseName);

TEST(Guarded, ShowsTheErrorThatEndsTheAction)
{
    ScriptedDialogs dialogs;
    int steps = 0;
    EXPECT_FALSE(guarded(dialogs, [&] {
        ++steps;
        throw Error("Error in writing file a.txt");
    }));
    EXPECT_TRUE(guarded(dialogs, [&] { ++steps; }));
    EXPECT_EQ(steps, 2);
    EXPECT_EQ(dialogs.messages, QStringList{QStringLiteral("Error in writing file a.txt")});
}

// ---- the out-of-range warning ------------------------------------------------------------

struct WarningCase
{
    int kind;
    int shownAs;  // the kind whose text the dialog shows
};

void PrintTo(const WarningCase &c, std::ostream *os)
{
    *os << "kind" << c.kind;
}

class OutOfRangeWarning : public ::testing::TestWithParam<WarningCase>
{
};

// The texts themselves are checked where the main window shows them.
TEST_P(OutOfRangeWarning, ShowsTheTextOfItsKindInRed)
{
    const WarningCase &c = GetParam();
    TFOutOfRange dialog(c.kind);
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("WARNING"));
    EXPECT_GE(dialog.width(), 280);
    EXPECT_GE(dialog.height(), 150);
    EXPECT_EQ(dialog.lblAlert->pos(), QPoint(14, 11));
    const TFOutOfRange signalWarning(OutOfRangeSignals);
    const TFOutOfRange temperatureWarning(OutOfRangeTemperatures);
    EXPECT_NE(signalWarning.lblAlert->text(), temperatureWarning.lblAlert->text());
    const TFOutOfRange &shownAs =
        c.shownAs == OutOfRangeSignals ? signalWarning : temperatureWarning;
    EXPECT_EQ(dialog.lblAlert->text(), shownAs.lblAlert->text());
    EXPECT_EQ(dialog.lblAlert->palette().color(QPalette::WindowText), QColor(Qt::red));
    // Nothing of the text is cut off.
    const QSize needed = dialog.lblAlert->sizeHint();
    EXPECT_LE(needed.width(), dialog.lblAlert->width());
    EXPECT_LE(needed.height(), dialog.lblAlert->height());
    EXPECT_TRUE(dialog.rect().contains(dialog.lblAlert->geometry()));
    EXPECT_TRUE(dialog.rect().contains(dialog.btnOK->geometry()));
    EXPECT_FALSE(dialog.btnOK->geometry().intersects(dialog.lblAlert->geometry()));

    dialog.show();
    dialog.btnOK->click();
    EXPECT_FALSE(dialog.isVisible());
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, OutOfRangeWarning,
    ::testing::Values(WarningCase{OutOfRangeSignals, OutOfRangeSignals},
                      WarningCase{OutOfRangeTemperatures, OutOfRangeTemperatures},
                      WarningCase{0, OutOfRangeTemperatures},
                      WarningCase{7, OutOfRangeTemperatures}));

// ---- the About box -----------------------------------------------------------------------

TEST(AboutBox, TextsInsideThePicture)
{
    TFAbout about;
    EXPECT_EQ(about.windowTitle(), QStringLiteral("About Kelvora"));
    EXPECT_GE(about.width(), 517);
    EXPECT_GE(about.height(), 344);
    EXPECT_TRUE(about.windowFlags().testFlag(Qt::FramelessWindowHint));
    // What the box shows, where and how large.
    EXPECT_EQ(about.Label2->text(), QStringLiteral("Version 1.1"));
    EXPECT_EQ(about.Label1->text(),
              QStringList({"Calculation of parameters for the Sakuma-Hattori equation using two ",
                           "independent approach: the Levenberg-Marquardt algorithm and the ",
                           "Particle Swarm Optimization method.", "",
                           "Kelvora is applicable to temperature calibration of blackbody ",
                           "radiation sources and radiation thermometers using multiple-point ",
                           "method based on the Sakuma-Hattori interpolation equation."})
                  .join(QLatin1Char('\n')));
    EXPECT_EQ(about.Label2->pos(), QPoint(200, 117));
    EXPECT_EQ(about.Label1->pos(), QPoint(32, 147));
    EXPECT_EQ(about.Label2->font().pointSize(), 16);
    EXPECT_EQ(about.Label1->font().pointSize(), 10);
    for (const QLabel *label : {about.Label1, about.Label2}) {
        EXPECT_TRUE(about.rect().contains(label->geometry())) << label->objectName().toStdString();
        EXPECT_TRUE(label->font().bold());
        EXPECT_EQ(label->palette().color(QPalette::WindowText), QColor(128, 0, 0));
    }
}

class AboutBoxClick : public ::testing::TestWithParam<int>
{
};

// 0: the picture, 1: the description, 2: the version.
TEST_P(AboutBoxClick, AClickAnywhereClosesIt)
{
    TFAbout about;
    about.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&about));
    const QPoint points[] = {QPoint(10, 10), about.Label1->geometry().center(),
                             about.Label2->geometry().center()};
    QTest::mouseClick(&about, Qt::LeftButton, {}, points[GetParam()]);
    EXPECT_FALSE(about.isVisible());
    EXPECT_EQ(about.result(), QDialog::Accepted);
}

INSTANTIATE_TEST_SUITE_P(Places, AboutBoxClick, ::testing::Values(0, 1, 2));

TEST(AboutBox, IconIsDrawn)
{
    const QIcon icon = KelvoraIcon();
    ASSERT_FALSE(icon.isNull());
    const QImage image = icon.pixmap(32, 32).toImage();
    EXPECT_NE(image.pixelColor(16, 16), image.pixelColor(0, 0));
}

} // namespace
} // namespace kelvora
