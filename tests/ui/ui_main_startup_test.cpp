#include "database/databaselayout.h"
#include "database/databasestartup.h"
#include "ui_main_fixture.h"

#include "ui/boundedit.h"
#include "ui/grid.h"
#include "ui/navigator.h"

#include <QDeadlineTimer>
#include <QProcess>
#include <QPushButton>
#include <QSplitter>
#include <QTabWidget>
#include <QTest>
#include <QThread>
#include <QToolButton>

#include <sqlite3.h>
#include <unistd.h>

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

// The message of a file that does not load, with why and where it went.
QString corruptedText(const QString &path, const QString &reason, const QString &backup)
{
    QString text = corruptedText(path) + QChar(13) + QChar(13) + QStringLiteral("Reason: ")
                   + reason;
    if (!backup.isEmpty())
        text += QChar(13) + QStringLiteral("Backup file: ") + backup;
    return text;
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
    EXPECT_EQ(RecordRow(cdsMain()).name(), "Lamp");
    EXPECT_EQ(cdsBB().recordCount(), 3);
    EXPECT_EQ(pc()->currentWidget(), tsCalibration())
        << "a start with records shows the Calibration page";
}

struct DamagedFile
{
    const char *what;
    QByteArray content;
    const char *reason;
};

// Names the case in test output.
void PrintTo(const DamagedFile &c, std::ostream *out)
{
    *out << c.what;
}

class DamagedDatabase : public MainWindowTest, public ::testing::WithParamInterface<DamagedFile>
{
};

TEST_P(DamagedDatabase, IsBackedUpBesideOlderBackupsAndTheProgramStartsEmpty)
{
    const QByteArray damaged = GetParam().content;
    writeFile(QStringLiteral("DB/kelvora.dbs"), damaged);
    writeFile(QStringLiteral("DB/kelvora.bak"), "an older backup");
    start();
    const QString backup = dir.filePath(QStringLiteral("DB/kelvora.1.bak"));
    EXPECT_EQ(dialogs.messages,
              QStringList{corruptedText(dbPath(), QLatin1String(GetParam().reason), backup)});
    EXPECT_FALSE(window->endRequested());
    EXPECT_EQ(readFile(backup), damaged);
    EXPECT_EQ(readFile(backupPathOf(dbPath())), "an older backup");
    EXPECT_EQ(cdsMain().recordCount(), 0);
    EXPECT_TRUE(p()->isHidden());

    ASSERT_TRUE(window->close());
    EXPECT_EQ(savedData().records.size(), 0u) << "the exit writes a sound empty database";
}

INSTANTIATE_TEST_SUITE_P(
    Files, DamagedDatabase,
    ::testing::Values(
        DamagedFile{"zero-length", QByteArray(), "The file is not a Kelvora database"},
        DamagedFile{"garbage", QByteArray("this is no database\r\n", 21),
                    "The file is not a Kelvora database"},
        DamagedFile{"sqlite-header", QByteArray("SQLite format 3\0garbage", 23),
                    "The file is not a Kelvora database"}),
    [](const auto &info) {
        std::string name = info.param.what;
        std::replace(name.begin(), name.end(), '-', '_');
        return name;
    });

TEST_F(MainWindowTest, ABackupThatCannotBeMadeEndsTheProgramWithoutSaving)
{
    // The database is a link to a file whose backup names are all barred: the first by a
    // folder with content, the numbered ones by being longer than a file name may be.
    const QByteArray damaged("damaged");
    const QString stem(251, QLatin1Char('k'));
    writeFile(stem + QStringLiteral(".dbs"), damaged);
    ASSERT_TRUE(QDir().mkpath(dir.filePath(stem + QStringLiteral(".bak/inside"))));
    ASSERT_TRUE(QFile::link(dir.filePath(stem + QStringLiteral(".dbs")), dbPath()));
    start();
    EXPECT_EQ(dialogs.messages,
              (QStringList{corruptedText(dbPath(),
                                         QStringLiteral("The file is not a Kelvora database"),
                                         {}),
                           QStringLiteral("Cannot create backup file")}));
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
    ASSERT_TRUE(window->close()) << messagesShown();
    EXPECT_TRUE(dialogs.messages.isEmpty()) << messagesShown();
    const StoreData before = records().store.data();
    window.reset();

    start();
    EXPECT_TRUE(dialogs.messages.isEmpty());
    expectSameRecords(before, records().store.data());
    ASSERT_EQ(cdsMain().recordCount(), 2);
    EXPECT_EQ(RecordRow(cdsMain()).name(), "Beta") << "newest first";
    EXPECT_EQ(RecordRow(cdsMain()).rem(), "second lamp\nrecalibrated");
    EXPECT_EQ(cdsMain().value(fieldIndex(RecordField::RecordCount)), Value(std::int64_t{2}));
    EXPECT_EQ(cdsInterp().recordCount(), 3);
    EXPECT_TRUE(pc()->isTabVisible(pc()->indexOf(tsMeasurements())));
}

// True once the splitter has shared its whole length out between its parts, as it does when
// the shown window lays it out.
bool laidOut(const QSplitter &splitter)
{
    const QList<int> sizes = splitter.sizes();
    const int length =
        splitter.orientation() == Qt::Horizontal ? splitter.width() : splitter.height();
    int shared = splitter.handleWidth() * static_cast<int>(sizes.size() - 1);
    for (const int size : sizes)
        shared += size;
    return splitter.isVisible() && length > 0 && shared == length;
}

// Where the user moved the separator between the record list and the record, the next start
// puts it again.
TEST_F(MainWindowTest, TheSeparatorIsWhereTheUserLeftIt)
{
    startEmpty();
    importRecord(QStringLiteral("Alpha"));
    window->resize(1600, 900);
    window->show();
    auto *separator = window->findChild<QSplitter *>(QStringLiteral("spSeparator"));
    ASSERT_NE(separator, nullptr);
    ASSERT_TRUE(QTest::qWaitFor([&] { return laidOut(*separator); }, 5000));
    const QList<int> first = separator->sizes();
    ASSERT_EQ(first.size(), 2);
    const QList<int> moved{first[0] + 120, first[1] - 120};
    separator->setSizes(moved);
    ASSERT_EQ(separator->sizes(), moved);
    ASSERT_TRUE(window->close()) << messagesShown();
    window.reset();

    start();
    window->resize(1600, 900);
    window->show();
    separator = window->findChild<QSplitter *>(QStringLiteral("spSeparator"));
    ASSERT_NE(separator, nullptr);
    ASSERT_TRUE(QTest::qWaitFor([&] { return laidOut(*separator); }, 5000));
    EXPECT_EQ(separator->sizes(), moved);
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

// A second program folder whose database is the first one's under another name: a link to
// the file or a hard link. One file, one lock: the second copy refuses to start.
struct SecondName
{
    const char *what;
    bool hardLink;
};

void PrintTo(const SecondName &c, std::ostream *out)
{
    *out << c.what;
}

class DatabaseUnderAnotherName : public MainWindowTest,
                                 public ::testing::WithParamInterface<SecondName>
{
};

TEST_P(DatabaseUnderAnotherName, ASecondCopyRefusesToStart)
{
    startEmpty();
    importRecord(QStringLiteral("Lamp"));
    returnToEventLoop();
    QTemporaryDir otherFolder;
    ASSERT_TRUE(QDir(otherFolder.path()).mkpath(QStringLiteral("DB")));
    const QString otherDb = otherFolder.filePath(QStringLiteral("DB/kelvora.dbs"));
    if (GetParam().hardLink)
        ASSERT_EQ(::link(dbFile().c_str(), otherDb.toStdString().c_str()), 0);
    else
        ASSERT_TRUE(QFile::link(dbPath(), otherDb));

    test::ScriptedDialogs otherDialogs;
    {
        TFMain other(otherDialogs, otherFolder.filePath(QStringLiteral("kelvora")));
        EXPECT_EQ(otherDialogs.messages,
                  QStringList{QStringLiteral("The database ") + otherDb
                              + QStringLiteral(" is in use by another running copy of Kelvora.")});
        EXPECT_TRUE(other.endRequested());
        EXPECT_TRUE(other.close());
    }
    importRecord(QStringLiteral("Later"));
    ASSERT_TRUE(window->close()) << messagesShown();
    EXPECT_EQ(savedData().records.size(), 2u) << "nothing of the first copy's work is lost";
}

INSTANTIATE_TEST_SUITE_P(Links, DatabaseUnderAnotherName,
                         ::testing::Values(SecondName{"SymbolicLink", false},
                                           SecondName{"HardLink", true}),
                         [](const auto &info) { return std::string(info.param.what); });

// Another program (an SQLite shell, a backup tool) keeps the file locked longer than a reader
// waits: the window says so and ends, and the file stays as it is, where it is.
TEST_F(MainWindowTest, ADatabaseKeptLockedByAnotherProgramIsLeftAlone)
{
    startEmpty();
    importRecord(QStringLiteral("Lamp"));
    ASSERT_TRUE(window->close());
    window.reset();
    const QByteArray saved = readFile(dbPath());
    sqlite3 *other = nullptr;
    ASSERT_EQ(sqlite3_open(dbFile().c_str(), &other), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(other, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr), SQLITE_OK);

    start();

    sqlite3_exec(other, "COMMIT", nullptr, nullptr, nullptr);
    sqlite3_close(other);
    EXPECT_EQ(dialogs.messages,
              QStringList{QStringLiteral("The database ") + dbPath()
                          + QStringLiteral(" is busy: another program (an SQLite tool or a "
                                           "backup) keeps it locked.\rIt is left as it is; try "
                                           "again when that program is done.")});
    EXPECT_TRUE(window->endRequested());
    EXPECT_TRUE(window->close());
    EXPECT_EQ(window->saveCount(), 0);
    EXPECT_EQ(readFile(dbPath()), saved);
    window.reset();
    EXPECT_EQ(QDir(dir.filePath(QStringLiteral("DB"))).entryList(QDir::Files),
              QStringList{QStringLiteral("kelvora.dbs")});
}

// A database that a newer version of the program wrote is no damage: the window says so and
// ends, and the file stays where and as it is, with no backup made of it.
TEST_F(MainWindowTest, ADatabaseOfANewerLayoutIsLeftAlone)
{
    startEmpty();
    importRecord(QStringLiteral("Lamp"));
    ASSERT_TRUE(window->close());
    window.reset();
    const int newer = LayoutVersion + 1;
    sqlite3 *other = nullptr;
    ASSERT_EQ(sqlite3_open(dbFile().c_str(), &other), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(other,
                           ("PRAGMA user_version = " + std::to_string(newer) + ";").c_str(),
                           nullptr, nullptr, nullptr),
              SQLITE_OK);
    sqlite3_close(other);
    const QByteArray newerFile = readFile(dbPath());

    start();

    EXPECT_EQ(dialogs.messages,
              QStringList{QStringLiteral("File %1 is not opened\rThe database was written by a "
                                         "newer version of Kelvora (layout %2); this version "
                                         "reads layouts up to %3\rIt is left as it is; open it "
                                         "with that version.")
                              .arg(dbPath())
                              .arg(newer)
                              .arg(LayoutVersion)});
    EXPECT_TRUE(window->endRequested());
    EXPECT_TRUE(window->close());
    EXPECT_EQ(window->saveCount(), 0);
    window.reset();
    EXPECT_EQ(readFile(dbPath()), newerFile);
    EXPECT_EQ(QDir(dir.filePath(QStringLiteral("DB"))).entryList(QDir::Files),
              QStringList{QStringLiteral("kelvora.dbs")});
}

// A store of one record, as another program would write it.
StoreData someoneElsesRecords()
{
    Store store;
    store.open();
    store.cdsMain.append();
    RecordRowEditor(store.cdsMain).setName("Theirs");
    store.cdsMain.post();
    return store.data();
}

// Another program changes the file while the window has it open: the window's saves are
// refused instead of overwriting that change, its own changes stay in memory, and closing
// asks whether to close without them.
TEST_F(MainWindowTest, AFileChangedByAnotherProgramIsNeverOverwritten)
{
    startEmpty();
    importRecord(QStringLiteral("Lamp"));
    returnToEventLoop();
    saveDatabase(dbFile(), someoneElsesRecords());
    const QByteArray theirs = readFile(dbPath());

    importRecord(QStringLiteral("Mine"));
    returnToEventLoop();
    importRecord(QStringLiteral("Mine too"));
    returnToEventLoop();
    const QString refused = QStringLiteral("The database ") + dbPath()
                            + QStringLiteral(" was changed by another program after Kelvora "
                                             "read it.\rNothing was saved, so that the other "
                                             "program's changes are not overwritten.");
    EXPECT_EQ(dialogs.messages,
              QStringList{refused + QStringLiteral("\rYour changes are kept in this window "
                                                   "while it stays open.")})
        << "shown once";
    EXPECT_EQ(readFile(dbPath()), theirs);
    EXPECT_EQ(cdsMain().recordCount(), 3);

    dialogs.confirmAnswers.push_back(false);
    EXPECT_FALSE(window->close());
    ASSERT_EQ(dialogs.confirmations.size(), 1u);
    EXPECT_EQ(dialogs.confirmations[0].text,
              refused + QStringLiteral("\r\rClose Kelvora without saving? The changes made "
                                       "since the last save will be lost."));
    EXPECT_EQ(cdsMain().recordCount(), 3);
    dialogs.confirmAnswers.push_back(true);
    EXPECT_TRUE(window->close());
    EXPECT_EQ(readFile(dbPath()), theirs);
    EXPECT_TRUE(dialogs.allAnswersUsed());
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

#ifdef KELVORA_GUI
// The real program on a platform that shows no window: a message nobody could answer goes to
// standard error, and a start-up that cannot go on ends the program with status 1.
TEST_F(MainWindowTest, ASecondCopyWithoutAScreenSaysWhyOnStandardErrorAndEnds)
{
    startEmpty();
    ASSERT_TRUE(window->close());
    window.reset();
    DatabaseLock first(dbFile());
    ASSERT_TRUE(first.acquire());
    ASSERT_TRUE(QFile::copy(QStringLiteral(KELVORA_GUI), programFile()));
    QFile(programFile()).setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QProcess second;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    second.setProcessEnvironment(environment);
    second.start(programFile(), {});
    ASSERT_TRUE(second.waitForStarted(10000));
    const bool ended = second.waitForFinished(20000);
    if (!ended) {
        second.kill();
        second.waitForFinished(10000);
    }
    EXPECT_TRUE(ended) << "the second copy waits for an answer nobody can give";
    EXPECT_EQ(second.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(second.exitCode(), 1);
    const QString errors = QString::fromLocal8Bit(second.readAllStandardError()).trimmed();
    EXPECT_EQ(errors.split(QLatin1Char('\n')).last(),
              QStringLiteral("The database ") + dbPath()
                  + QStringLiteral(" is in use by another running copy of Kelvora."));
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
    const int rem = fieldIndex(RecordField::Rem);
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
