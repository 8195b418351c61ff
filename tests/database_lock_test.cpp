#include "database/databaselock.h"
#include "tests/database_fixture.h"

#include <functional>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

namespace kelvora::dbtest {
namespace {

using dbtest::PrintTo;

// The process id of a process that has ended.
pid_t deadProcessId()
{
    const pid_t child = ::fork();
    if (child == 0)
        ::_exit(0);
    ::waitpid(child, nullptr, 0);
    return child;
}

// Runs `body` in a child process, as an unprivileged user when the test runs as root (whom
// no permission stops), and returns what it wrote.
std::string inChildProcess(const std::function<std::string()> &body, bool unprivileged)
{
    int ends[2];
    if (::pipe(ends) != 0)
        return "no pipe";
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(ends[0]);
        if (unprivileged && ::geteuid() == 0
            && (::setgid(65534) != 0 || ::setuid(65534) != 0))
            ::_exit(2);
        const std::string text = body();
        const bool written =
            ::write(ends[1], text.data(), text.size()) == static_cast<ssize_t>(text.size());
        ::_exit(written ? 0 : 1);
    }
    ::close(ends[1]);
    std::string text;
    char buffer[512];
    for (ssize_t n; (n = ::read(ends[0], buffer, sizeof buffer)) > 0;)
        text.append(buffer, static_cast<std::size_t>(n));
    ::close(ends[0]);
    int status = 0;
    ::waitpid(child, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? text : "child failed";
}

std::string failureName(DatabaseLock::Failure failure)
{
    switch (failure) {
    case DatabaseLock::Failure::None: return "None";
    case DatabaseLock::Failure::InUse: return "InUse";
    case DatabaseLock::Failure::Unusable: return "Unusable";
    case DatabaseLock::Failure::CannotCreate: return "CannotCreate";
    }
    return "";
}

// A lock file that nobody holds is taken, whatever it says.
struct StaleLockCase
{
    const char *name;
    std::function<std::string()> contents;
};

const StaleLockCase StaleLockCases[] = {
    {"LeftByACrash", [] { return std::to_string(deadProcessId()) + "\n"; }},
    {"Garbage", [] { return std::string("kelvora"); }},
    {"Empty", [] { return std::string(); }},
    // A process id that now belongs to another running program holds nothing.
    {"IdOfARunningProcess", [] { return std::to_string(::getppid()) + "\n"; }},
};

class DatabaseStaleLock : public DatabaseFolder,
                          public ::testing::WithParamInterface<StaleLockCase>
{
};

TEST_P(DatabaseStaleLock, IsTakenAndRemovedOnRelease)
{
    const std::string lockPath = dbPath + ".lock";
    writeWholeFile(lockPath, GetParam().contents());

    DatabaseLock lock(dbPath);
    ASSERT_TRUE(lock.acquire());
    EXPECT_TRUE(lock.held());
    EXPECT_EQ(lock.failure(), DatabaseLock::Failure::None);
    EXPECT_EQ(readWholeFile(lockPath), std::to_string(::getpid()) + "\n");
    lock.release();
    EXPECT_FALSE(lock.held());
    EXPECT_TRUE(folderEntries(folder).empty());
}

INSTANTIATE_TEST_SUITE_P(Contents, DatabaseStaleLock, ::testing::ValuesIn(StaleLockCases),
                         CaseName);

TEST_F(DatabaseFolder, SecondLockWaitsForTheFirst)
{
    const std::string lockPath = dbPath + ".lock";
    {
        DatabaseLock first(dbPath);
        DatabaseLock second(dbPath);
        ASSERT_TRUE(first.acquire());
        EXPECT_TRUE(first.acquire());
        EXPECT_FALSE(second.acquire());
        EXPECT_EQ(second.failure(), DatabaseLock::Failure::InUse);
        EXPECT_FALSE(second.held());
        second.release(); // not the holder: the lock stays
        EXPECT_TRUE(fs::exists(lockPath));
        EXPECT_FALSE(DatabaseLock(dbPath).acquire());
        first.release();
        EXPECT_FALSE(fs::exists(lockPath));
        EXPECT_TRUE(second.acquire());
        EXPECT_FALSE(first.acquire());
    }
    EXPECT_FALSE(fs::exists(lockPath)) << "the holder's destructor did not release";
}

// The lock of a process that is killed is free at once; its file, naming the dead process,
// is taken over.
TEST_F(DatabaseFolder, LockOfAKilledProcessIsFreeAtOnce)
{
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    const pid_t holder = ::fork();
    ASSERT_GE(holder, 0);
    if (holder == 0) {
        DatabaseLock lock(dbPath);
        const char answer = lock.acquire() ? 'y' : 'n';
        if (::write(ready[1], &answer, 1) != 1)
            ::_exit(1);
        ::pause();
        ::_exit(0);
    }
    char answer = 0;
    ASSERT_EQ(::read(ready[0], &answer, 1), 1);
    ASSERT_EQ(answer, 'y');
    DatabaseLock lock(dbPath);
    EXPECT_FALSE(lock.acquire());
    EXPECT_EQ(lock.failure(), DatabaseLock::Failure::InUse);
    EXPECT_EQ(readWholeFile(dbPath + ".lock"), std::to_string(holder) + "\n");

    ::kill(holder, SIGKILL);
    ::waitpid(holder, nullptr, 0);
    EXPECT_TRUE(lock.acquire());
    ::close(ready[0]);
    ::close(ready[1]);
}

// Processes that all try at the same moment: exactly one holds the lock, whatever the
// stale lock file they meet, and again when the trial is repeated.
TEST_F(DatabaseFolder, OfManyAtOnceExactlyOneWins)
{
    constexpr int Trials = 40;
    constexpr int Contenders = 6;
    for (int trial = 0; trial < Trials; ++trial) {
        writeWholeFile(dbPath + ".lock", std::to_string(deadProcessId()) + "\n");
        int start[2];
        int answers[2];
        int done[2];
        ASSERT_EQ(::pipe(start), 0);
        ASSERT_EQ(::pipe(answers), 0);
        ASSERT_EQ(::pipe(done), 0);
        std::vector<pid_t> children;
        for (int c = 0; c < Contenders; ++c) {
            const pid_t child = ::fork();
            ASSERT_GE(child, 0);
            if (child == 0) {
                ::close(start[1]);
                ::close(done[1]);
                char go = 0;
                if (::read(start[0], &go, 1) != 0) // all start when the pipe closes
                    ::_exit(1);
                DatabaseLock lock(dbPath);
                const char answer = lock.acquire() ? 'y' : 'n';
                if (::write(answers[1], &answer, 1) != 1)
                    ::_exit(1);
                // The winner holds on until every contender has answered.
                if (::read(done[0], &go, 1) != 0)
                    ::_exit(1);
                lock.release();
                ::_exit(0);
            }
            children.push_back(child);
        }
        ::close(start[0]);
        ::close(start[1]);
        ::close(done[0]);
        ::close(answers[1]);
        int winners = 0;
        for (int c = 0; c < Contenders; ++c) {
            char answer = 0;
            ASSERT_EQ(::read(answers[0], &answer, 1), 1);
            winners += answer == 'y' ? 1 : 0;
        }
        ::close(done[1]);
        ::close(answers[0]);
        for (const pid_t child : children)
            ::waitpid(child, nullptr, 0);
        EXPECT_EQ(winners, 1) << "trial " << trial;
        EXPECT_TRUE(folderEntries(folder).empty()) << "trial " << trial;
    }
}

TEST_F(DatabaseFolder, TakingTheLockRemovesWhatKilledSavesLeft)
{
    const std::vector<std::string> leftovers{"kelvora.dbs.tmp-a1b2c3",
                                             "kelvora.dbs.lock.tmp-4242"};
    const std::vector<std::string> kept{"kelvora.bak", "kelvora.dbs", "kelvora.dbs.tmp-",
                                        "other.dbs.tmp-a1b2c3"};
    DatabaseLock other(dbPath);
    ASSERT_TRUE(other.acquire());
    for (const auto &name : leftovers)
        writeWholeFile(folder / name, "left over");
    for (const auto &name : kept)
        writeWholeFile(folder / name, "kept");

    DatabaseLock lock(dbPath);
    EXPECT_FALSE(lock.acquire());
    EXPECT_EQ(folderEntries(folder).size(), leftovers.size() + kept.size() + 1)
        << "a lock that is not taken removes nothing";
    other.release();

    ASSERT_TRUE(lock.acquire());
    lock.release();
    EXPECT_EQ(folderEntries(folder), kept);
}

// A lock that cannot be taken is never reported as held.
struct RefusedLockCase
{
    const char *name;
    std::function<std::string(const fs::path &folder)> prepare; // returns the database path
    bool unprivileged; // tried by a user whom permissions stop
    DatabaseLock::Failure failure;
    const char *text; // "%db" and "%lock" stand for the full paths
};

const RefusedLockCase RefusedLockCases[] = {
    {"FolderMissing", [](const fs::path &f) { return (f / "DB" / "kelvora.dbs").string(); },
     false, DatabaseLock::Failure::CannotCreate,
     "Cannot create file \"%db\". No such file or directory"},
    {"ReadOnlyFolder",
     [](const fs::path &f) {
         fs::permissions(f, fs::perms::owner_read | fs::perms::owner_exec | fs::perms::group_read
                                | fs::perms::group_exec | fs::perms::others_read
                                | fs::perms::others_exec);
         return (f / "kelvora.dbs").string();
     },
     true, DatabaseLock::Failure::CannotCreate, "Cannot create file \"%db\". Permission denied"},
    {"LockPathIsAFolder",
     [](const fs::path &f) {
         fs::create_directory(f / "kelvora.dbs.lock");
         return (f / "kelvora.dbs").string();
     },
     false, DatabaseLock::Failure::Unusable, "Cannot use the lock file \"%lock\". Is a directory"},
    {"UnreadableLockFile",
     [](const fs::path &f) {
         fs::permissions(f, fs::perms::all);
         writeWholeFile(f / "kelvora.dbs.lock", "12\n");
         fs::permissions(f / "kelvora.dbs.lock", fs::perms::none);
         return (f / "kelvora.dbs").string();
     },
     true, DatabaseLock::Failure::Unusable,
     "Cannot use the lock file \"%lock\". Permission denied"},
    {"LockPathIsASymbolicLink",
     [](const fs::path &f) {
         fs::create_symlink(f / "elsewhere", f / "kelvora.dbs.lock");
         return (f / "kelvora.dbs").string();
     },
     false, DatabaseLock::Failure::Unusable,
     "Cannot use the lock file \"%lock\". Too many levels of symbolic links"},
};

class DatabaseRefusedLock : public DatabaseFolder,
                            public ::testing::WithParamInterface<RefusedLockCase>
{
};

TEST_P(DatabaseRefusedLock, IsNotHeldAndSaysWhy)
{
    const RefusedLockCase &c = GetParam();
    const std::string path = c.prepare(folder);
    const auto before = folderEntries(folder);
    std::string expected = c.text;
    for (const auto &[mark, full] : {std::pair{"%db", path}, std::pair{"%lock", path + ".lock"}})
        if (const auto at = expected.find(mark); at != std::string::npos)
            expected.replace(at, std::string(mark).size(), full);

    const std::string outcome = inChildProcess(
        [&path] {
            DatabaseLock lock(path);
            const bool acquired = lock.acquire();
            return std::string(acquired || lock.held() ? "held" : "free") + "|"
                   + failureName(lock.failure()) + "|" + lock.failureText();
        },
        c.unprivileged);

    EXPECT_EQ(outcome, "free|" + failureName(c.failure) + "|" + expected);
    EXPECT_EQ(folderEntries(folder), before);
}

INSTANTIATE_TEST_SUITE_P(Causes, DatabaseRefusedLock, ::testing::ValuesIn(RefusedLockCases),
                         CaseName);

// ---- one lock per file, whatever name reaches it ----

struct OtherNameCase
{
    const char *name;
    // Makes the database file (or leaves it to the first save) and returns another name for it.
    std::function<std::string(const fs::path &folder, const std::string &dbPath)> otherName;
};

const OtherNameCase OtherNameCases[] = {
    {"SymbolicLinkToTheFile",
     [](const fs::path &f, const std::string &db) {
         writeWholeFile(db, "file");
         fs::create_directory(f / "other");
         fs::create_symlink("../kelvora.dbs", f / "other" / "kelvora.dbs");
         return (f / "other" / "kelvora.dbs").string();
     }},
    {"SymbolicLinkToAFileNotThereYet",
     [](const fs::path &f, const std::string &) {
         fs::create_directory(f / "other");
         fs::create_symlink(f / "kelvora.dbs", f / "other" / "kelvora.dbs");
         return (f / "other" / "kelvora.dbs").string();
     }},
    {"ChainOfLinks",
     [](const fs::path &f, const std::string &db) {
         writeWholeFile(db, "file");
         fs::create_symlink("kelvora.dbs", f / "first.dbs");
         fs::create_symlink(f / "first.dbs", f / "second.dbs");
         return (f / "second.dbs").string();
     }},
    {"SymbolicLinkToTheFolder",
     [](const fs::path &f, const std::string &db) {
         writeWholeFile(db, "file");
         fs::create_directory_symlink(f, f / "DB");
         return (f / "DB" / "kelvora.dbs").string();
     }},
    {"HardLink",
     [](const fs::path &f, const std::string &db) {
         writeWholeFile(db, "file");
         fs::create_directory(f / "other");
         fs::create_hard_link(db, f / "other" / "kelvora.dbs");
         return (f / "other" / "kelvora.dbs").string();
     }},
};

class DatabaseLockOtherName : public DatabaseFolder,
                              public ::testing::WithParamInterface<OtherNameCase>
{
};

TEST_P(DatabaseLockOtherName, IsTheSameLock)
{
    const std::string other = GetParam().otherName(folder, dbPath);
    for (const auto &[firstPath, secondPath] :
         {std::pair{dbPath, other}, std::pair{other, dbPath}}) {
        DatabaseLock first(firstPath);
        DatabaseLock second(secondPath);
        ASSERT_TRUE(first.acquire()) << firstPath;
        EXPECT_FALSE(second.acquire()) << secondPath << " is locked apart from " << firstPath;
        EXPECT_EQ(second.failure(), DatabaseLock::Failure::InUse);
        EXPECT_FALSE(second.held());
        first.release();
        EXPECT_TRUE(second.acquire());
    }
}

INSTANTIATE_TEST_SUITE_P(Names, DatabaseLockOtherName, ::testing::ValuesIn(OtherNameCases),
                         CaseName);

// A file created by the first save, after the lock was taken, is locked too before the next
// save: a hard link made to it then is no way around the lock.
TEST_F(DatabaseFolder, AFileCreatedWhileHeldIsLockedAtTheNextAcquire)
{
    DatabaseLock lock(dbPath);
    ASSERT_TRUE(lock.acquire());
    writeWholeFile(dbPath, "first save");
    fs::create_directory(folder / "other");
    const std::string other = (folder / "other" / "kelvora.dbs").string();
    fs::create_hard_link(dbPath, other);
    ASSERT_TRUE(lock.acquire());
    DatabaseLock second(other);
    EXPECT_FALSE(second.acquire());
    EXPECT_EQ(second.failure(), DatabaseLock::Failure::InUse);
}

// The lock file is checked after it is locked, because a holder may release it (removing it)
// between the opening and the locking, and a third process then take the lock on a new file.
// The race is put into that moment: the file locked is removed, and the third takes a new one
// or nobody does. A lock taken on the removed file would lock nothing that others see.
struct LockRaceCase
{
    const char *name;
    bool thirdTakesTheNewFile;
};

const LockRaceCase LockRaceCases[] = {
    {"ANewFileTakenByAThird", true},
    {"RemovedAndFree", false},
};

class DatabaseLockRace : public DatabaseFolder, public ::testing::WithParamInterface<LockRaceCase>
{
};

TEST_P(DatabaseLockRace, OnlyTheFileAtTheLockPathIsHeld)
{
    const std::string lockPath = dbPath + ".lock";
    writeWholeFile(lockPath, "stale\n");
    DatabaseLock third(dbPath);
    DatabaseLock lock(dbPath);
    int raced = 0;
    lock.afterLocking = [&] {
        if (raced++ > 0)
            return;
        fs::remove(lockPath);
        if (GetParam().thirdTakesTheNewFile) {
            ASSERT_TRUE(third.acquire());
        }
    };

    const bool taken = lock.acquire();
    DatabaseLock later(dbPath);
    if (GetParam().thirdTakesTheNewFile) {
        EXPECT_FALSE(taken);
        EXPECT_EQ(lock.failure(), DatabaseLock::Failure::InUse);
        EXPECT_FALSE(lock.held());
        EXPECT_EQ(raced, 1);
        third.release();
        EXPECT_TRUE(lock.acquire()) << "free again once the third releases";
    } else {
        EXPECT_TRUE(taken);
        EXPECT_EQ(raced, 2) << "locked again, on the file now at the path";
    }
    EXPECT_EQ(readWholeFile(lockPath), std::to_string(::getpid()) + "\n");
    EXPECT_FALSE(later.acquire()) << "a process that comes later finds the lock held";
    EXPECT_EQ(later.failure(), DatabaseLock::Failure::InUse);
}

INSTANTIATE_TEST_SUITE_P(Races, DatabaseLockRace, ::testing::ValuesIn(LockRaceCases),
                         CaseName);

TEST_F(DatabaseFolder, LockRefusedForLackOfAFolderIsTakenOnceTheFolderExists)
{
    const fs::path db = folder / "DB";
    DatabaseLock lock((db / "kelvora.dbs").string());
    EXPECT_FALSE(lock.acquire());
    EXPECT_THROW(requireLock(lock, (db / "kelvora.dbs").string()), Error);
    fs::create_directory(db);
    EXPECT_NO_THROW(requireLock(lock, (db / "kelvora.dbs").string()));
    EXPECT_TRUE(lock.held());
}

} // namespace
} // namespace kelvora::dbtest
