#include "records/databasestartup.h"
#include "ui_main_fixture.h"

#include "ui/boundedit.h"
#include "ui/grid.h"
#include "ui/navigator.h"

#include <QDeadlineTimer>
#include <QProcess>
#include <QPushButton>
#include <QTabWidget>
#include <QThread>
#include <QToolButton>

namespace kelvora {
namespace {

using test::MainWindowTest;

QString notFoundText(const QString &path)
{
    return QStringLiteral("File ") + path + QStringLiteral(" not found") + QChar(13)
           + QStringLiteral("Empty database will be created");
}

QString corruptedText(const QString &path)
{
    return QStringLiteral("File ") + path + QStringLiteral(" might be corrupted") + QChar(13)
           + QStringLiteral("It will be backed up and the empty database will be created");
}

QString backupPathOf(const QString &dbPath)
{
    return QString::fromStdString(backupPath(dbPath.toStdString()));
}

// Field by field, nested rows included.
void expectSameRecords(const StoreData &expected, const StoreData &actual)
{
    ASSERT_EQ(expected.records.size(), actual.records.size());
    for (std::size_t r = 0; r < expected.records.size(); ++r) {
        const RowData &a = expected.records[r];
        const RowData &b = actual.records[r];
        EXPECT_EQ(a.values, b.values) << "record " << r;
        ASSERT_EQ(a.nested.size(), b.nested.size());
        for (std::size_t n = 0; n < a.nested.size(); ++n) {
            ASSERT_EQ(a.nested[n].rows.size(), b.nested[n].rows.size());
            EXPECT_EQ(a.nested[n].nextInc, b.nested[n].nextInc);
            for (std::size_t i = 0; i < a.nested[n].rows.size(); ++i)
                EXPECT_EQ(a.nested[n].rows[i].values, b.nested[n].rows[i].values)
                    << "record " << r << " table " << n << " row " << i;
        }
    }
}

TEST_F(MainWindowTest, FirstStartWithEmptyDbFolderShowsOnlyTheRecordList)
{
    start();
    EXPECT_EQ(dialogs.messages, QStringList{notFoundText(dbPath())});
    EXPECT_FALSE(window->endRequested());
    EXPECT_TRUE(p()->isHidden());
    EXPECT_TRUE(pc()->isHidden());
    EXPECT_FALSE(btnSaveMain()->isEnabled());
    EXPECT_FALSE(btnEraseMain()->isEnabled());
    EXPECT_TRUE(btnLoadMain()->isEnabled());
    EXPECT_FALSE(QFile::exists(dbPath())) << "nothing changed, nothing written";

    importRecord(QStringLiteral("Lamp"));
    EXPECT_FALSE(p()->isHidden());
    EXPECT_FALSE(pc()->isHidden());
    EXPECT_EQ(pc()->currentWidget(), tsCalibration());
    EXPECT_FALSE(pc()->isTabVisible(pc()->indexOf(tsMeasurements())));
    EXPECT_TRUE(btnSaveMain()->isEnabled());
    ASSERT_TRUE(window->close());
    window.reset();

    dialogs.clearRecords();
    start();
    EXPECT_TRUE(dialogs.messages.isEmpty()) << messagesShown();
    ASSERT_EQ(cdsMain().recordCount(), 1);
    EXPECT_EQ(cdsMain().asString("Name"), "Lamp");
    EXPECT_EQ(cdsBB().recordCount(), 3);
    EXPECT_EQ(pc()->currentWidget(), tsCalibration())
        << "a start with records shows the Calibration page";
}

struct DamagedFile
{
    const char *what;
    QByteArray content;
};

// Names the case in test output.
void PrintTo(const DamagedFile &c, std::ostream *out)
{
    *out << c.what;
}

class DamagedDatabase : public MainWindowTest, public ::testing::WithParamInterface<DamagedFile>
{
};

TEST_P(DamagedDatabase, IsBackedUpAndTheProgramStartsEmpty)
{
    const QByteArray damaged = GetParam().content;
    writeFile(QStringLiteral("DB/kelvora.dbs"), damaged);
    writeFile(QStringLiteral("DB/kelvora.bak"), "an older backup");
    start();
    EXPECT_EQ(dialogs.messages, QStringList{corruptedText(dbPath())});
    EXPECT_FALSE(window->endRequested());
    EXPECT_EQ(readFile(backupPathOf(dbPath())), damaged);
    EXPECT_EQ(cdsMain().recordCount(), 0);
    EXPECT_TRUE(p()->isHidden());

    ASSERT_TRUE(window->close());
    EXPECT_EQ(savedData().records.size(), 0u) << "the exit writes a sound empty database";
}

INSTANTIATE_TEST_SUITE_P(
    Files, DamagedDatabase,
    ::testing::Values(DamagedFile{"zero-length", QByteArray()},
                      DamagedFile{"garbage", QByteArray("this is no database\r\n", 21)},
                      DamagedFile{"sqlite-header", QByteArray("SQLite format 3\0garbage", 23)}),
    [](const auto &info) {
        std::string name = info.param.what;
        std::replace(name.begin(), name.end(), '-', '_');
        return name;
    });

TEST_F(MainWindowTest, ABackupThatCannotBeMadeEndsTheProgramWithoutSaving)
{
    const QByteArray damaged("damaged");
    writeFile(QStringLiteral("DB/kelvora.dbs"), damaged);
    // A folder in the backup's way, with content so that it cannot be replaced.
    ASSERT_TRUE(QDir().mkpath(backupPathOf(dbPath()) + QStringLiteral("/inside")));
    start();
    EXPECT_EQ(dialogs.messages,
              (QStringList{corruptedText(dbPath()), QStringLiteral("Cannot create backup file")}));
    EXPECT_TRUE(window->endRequested());

    importRecord(QStringLiteral("Lamp"));
    returnToEventLoop();
    EXPECT_TRUE(window->close());
    EXPECT_EQ(window->saveCount(), 0);
    EXPECT_EQ(readFile(dbPath()), damaged) << "the damaged file stays where it was";
}

TEST_F(MainWindowTest, RecordsSurviveAnExitAndARestartUnchanged)
{
    startEmpty();
    importRecord(QStringLiteral("Alpha"));
    importRecord(QStringLiteral("Beta"));
    makeComputed();
    loadSignals("3\n3.1E-3\n7.9E-3\n1.2E-2\n");
    btnComputeInterp()->click();
    // A comment still being typed when the program ends.
    m()->setPlainText(QStringLiteral("second lamp\nrecalibrated"));
    ASSERT_TRUE(cdsMain().isEditing());
    ASSERT_TRUE(window->close());
    EXPECT_TRUE(dialogs.messages.isEmpty()) << messagesShown();
    const StoreData before = records().store.data();
    window.reset();

    start();
    EXPECT_TRUE(dialogs.messages.isEmpty());
    expectSameRecords(before, records().store.data());
    ASSERT_EQ(cdsMain().recordCount(), 2);
    EXPECT_EQ(cdsMain().asString("Name"), "Beta") << "newest first";
    EXPECT_EQ(cdsMain().asString("Rem"), "second lamp\nrecalibrated");
    EXPECT_EQ(cdsMain().asInteger("RecordCount"), 2);
    EXPECT_EQ(cdsInterp().recordCount(), 3);
    EXPECT_TRUE(pc()->isTabVisible(pc()->indexOf(tsMeasurements())));
}

TEST_F(MainWindowTest, APendingEditThatCannotBePostedKeepsTheWindowOpen)
{
    startEmpty();
    importRecord(QStringLiteral("Lamp"));
    returnToEventLoop();
    const int saves = window->saveCount();
    cdsMain().insert(); // a new record without a name
    EXPECT_FALSE(window->close());
    EXPECT_EQ(dialogs.messages, QStringList{QStringLiteral("Field 'Name' must have a value")});
    EXPECT_EQ(window->saveCount(), saves);

    cdsMain().cancel();
    EXPECT_TRUE(window->close());
    EXPECT_EQ(savedData().records.size(), 1u);
}

TEST_F(MainWindowTest, ASaveThatFailsKeepsTheWindowOpenUntilTheFolderExists)
{
    ASSERT_TRUE(QDir(dir.filePath(QStringLiteral("DB"))).removeRecursively());
    start();
    importRecord(QStringLiteral("Lamp"));
    returnToEventLoop();
    EXPECT_FALSE(window->close());
    ASSERT_EQ(dialogs.messages.size(), 3) << dialogs.messages.join(QLatin1Char('|')).toStdString();
    EXPECT_EQ(dialogs.messages[0], notFoundText(dbPath()));
    for (int i : {1, 2}) {
        EXPECT_TRUE(dialogs.messages[i].startsWith(QStringLiteral("Cannot create file \"")
                                                   + dbPath() + QLatin1Char('"')))
            << dialogs.messages[i].toStdString();
    }

    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("DB")));
    EXPECT_TRUE(window->close());
    ASSERT_EQ(savedData().records.size(), 1u);
}

TEST_F(MainWindowTest, ASecondWindowOnTheSameDatabaseRefusesToStart)
{
    startEmpty();
    importRecord(QStringLiteral("Lamp"));
    returnToEventLoop();

    test::ScriptedDialogs otherDialogs;
    {
        TFMain other(otherDialogs, programFile());
        EXPECT_EQ(otherDialogs.messages,
                  QStringList{QStringLiteral("The database ") + dbPath()
                              + QStringLiteral(" is in use by another running copy of Kelvora.")});
        EXPECT_TRUE(other.endRequested());
        EXPECT_TRUE(other.close());
        EXPECT_EQ(other.saveCount(), 0);
    }
    EXPECT_EQ(savedData().records.size(), 1u) << "the refused copy wrote nothing";

    ASSERT_TRUE(window->close());
    window.reset();
    test::ScriptedDialogs laterDialogs;
    TFMain later(laterDialogs, programFile());
    EXPECT_TRUE(laterDialogs.messages.isEmpty());
    EXPECT_FALSE(later.endRequested());
    EXPECT_EQ(later.records().cdsMain.recordCount(), 1);
}

// A lock file that can never be locked ends the program at once, as a lock in use does;
// nothing is saved.
TEST_F(MainWindowTest, ALockFileThatCannotBeUsedEndsTheProgram)
{
    startEmpty();
    ASSERT_TRUE(window->close());
    window.reset();
    const QByteArray saved = readFile(dbPath());
    ASSERT_TRUE(QDir().mkpath(dbPath() + QStringLiteral(".lock")));

    start();
    EXPECT_EQ(dialogs.messages,
              QStringList{QStringLiteral("Cannot use the lock file \"") + dbPath()
                          + QStringLiteral(".lock\". Is a directory")});
    EXPECT_TRUE(window->endRequested());
    EXPECT_TRUE(window->close());
    EXPECT_EQ(window->saveCount(), 0);
    EXPECT_EQ(readFile(dbPath()), saved);
}

#ifdef KELVORA_GUI
struct NoDisplayCase
{
    const char *name;
    const char *display;   // DISPLAY, or nullptr for none
    const char *platform;  // QT_QPA_PLATFORM, or nullptr for none
    const char *beginning; // of the one line on standard error
};

void PrintTo(const NoDisplayCase &c, std::ostream *out)
{
    *out << c.name;
}

class ProgramWithoutDisplay : public testing::TestWithParam<NoDisplayCase>
{
};

// Without a display the program says so in one line and ends with status 1, not with Qt's
// advice to reinstall and an abort: no display named, one that does not answer, or a platform
// plugin that cannot start.
TEST_P(ProgramWithoutDisplay, SaysWhatIsMissingInOneLine)
{
    const NoDisplayCase &c = GetParam();
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char *name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        environment.remove(QString::fromLatin1(name));
    if (c.display != nullptr)
        environment.insert(QStringLiteral("DISPLAY"), QString::fromLatin1(c.display));
    if (c.platform != nullptr)
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QString::fromLatin1(c.platform));
    QProcess program;
    program.setProcessEnvironment(environment);
    program.start(QStringLiteral(KELVORA_GUI), {});
    ASSERT_TRUE(program.waitForFinished(20000));
    EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(program.exitCode(), 1);
    const QString said = QString::fromLocal8Bit(program.readAllStandardError());
    EXPECT_EQ(said.count(QLatin1Char('\n')), 1) << said.toStdString();
    EXPECT_TRUE(said.startsWith(QLatin1String(c.beginning))) << said.toStdString();
    EXPECT_TRUE(said.endsWith(QLatin1String("; use kelvora-cli for work without one\n")))
        << said.toStdString();
}

INSTANTIATE_TEST_SUITE_P(
    Starts, ProgramWithoutDisplay,
    testing::Values(
        NoDisplayCase{"NoDisplay", nullptr, nullptr,
                      "Kelvora needs a graphical display; use kelvora-cli"},
        NoDisplayCase{"DisplayNotAnswering", ":7654", nullptr,
                      "Kelvora cannot open its window (could not connect to display :7654)"},
        NoDisplayCase{"UnknownPlatform", nullptr, "nosuchplatform",
                      "Kelvora cannot open its window ("}),
    [](const auto &info) { return std::string(info.param.name); });

// The real program, copied into this test's program folder and running offscreen, holds the
// database; once it is killed its lock is taken over and nothing it had saved is lost.
TEST_F(MainWindowTest, TheLockOfAKilledProgramIsTakenOver)
{
    startEmpty();
    importRecord(QStringLiteral("Lamp"));
    ASSERT_TRUE(window->close());
    window.reset();

    ASSERT_TRUE(QFile::copy(QStringLiteral(KELVORA_GUI), programFile()));
    QFile(programFile()).setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QProcess running;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    running.setProcessEnvironment(environment);
    running.start(programFile(), {});
    ASSERT_TRUE(running.waitForStarted(10000));
    QFile lock(dbPath() + QStringLiteral(".lock"));
    const QByteArray pid = QByteArray::number(running.processId());
    QDeadlineTimer deadline(20000);
    while (!deadline.hasExpired() && running.state() == QProcess::Running) {
        if (lock.open(QIODevice::ReadOnly)) {
            const bool owned = lock.readAll().trimmed() == pid;
            lock.close();
            if (owned)
                break;
        }
        QThread::msleep(50);
    }
    ASSERT_EQ(running.state(), QProcess::Running) << running.readAllStandardError().toStdString();

    test::ScriptedDialogs refused;
    {
        TFMain second(refused, programFile());
        EXPECT_TRUE(second.endRequested());
        EXPECT_EQ(refused.messages.size(), 1);
    }

    running.kill();
    running.waitForFinished(10000);
    dialogs.clearRecords();
    start();
    EXPECT_TRUE(dialogs.messages.isEmpty()) << messagesShown();
    EXPECT_FALSE(window->endRequested());
    EXPECT_EQ(cdsMain().recordCount(), 1);
}
#endif

TEST_F(MainWindowTest, EveryChangeReachesTheFileWhenControlReturnsToTheEventLoop)
{
    startEmpty();
    importRecord(QStringLiteral("Lamp"));
    EXPECT_TRUE(window->savePending());
    EXPECT_EQ(savedData().records.size(), 0u) << "not before the event loop runs";
    returnToEventLoop();
    EXPECT_EQ(window->saveCount(), 1) << "the import's many posts cost one save";
    ASSERT_EQ(savedData().records.size(), 1u);
    EXPECT_EQ(savedData().records[0].nested[0].rows.size(), 3u);

    // A measurement deleted through the navigator: the record holding it is posted too.
    loadSignals("2\n1.0E-3\n2.0E-3\n");
    returnToEventLoop();
    EXPECT_EQ(savedData().records[0].nested[1].rows.size(), 2u);
    dialogs.confirmAnswers.push_back(true);
    dbnIterp()->button(Navigator::Button::Delete)->click();
    returnToEventLoop();
    EXPECT_FALSE(cdsMain().isEditing());
    EXPECT_EQ(savedData().records[0].nested[1].rows.size(), 1u);

    // A comment typed and left.
    m()->setPlainText(QStringLiteral("checked"));
    QFocusEvent focusOut(QEvent::FocusOut, Qt::TabFocusReason);
    QCoreApplication::sendEvent(m(), &focusOut);
    returnToEventLoop();
    const int rem = mainSchema().fieldIndex("Rem");
    EXPECT_EQ(savedData().records[0].values[static_cast<std::size_t>(rem)],
              Value(std::string("checked")));

    // The record deleted.
    dialogs.confirmAnswers.push_back(true);
    dbnMain()->button(Navigator::Button::Delete)->click();
    returnToEventLoop();
    EXPECT_EQ(savedData().records.size(), 0u);
    EXPECT_TRUE(dialogs.allAnswersUsed());
    EXPECT_TRUE(dialogs.messages.isEmpty()) << messagesShown();
}

} // namespace
} // namespace kelvora
