#include "database/database.h"
#include "records/recordssession.h"
#include "tables/rows.h"
#include "database_fixture.h"

#include <gtest/gtest.h>

#include <functional>

namespace kelvora {
namespace {

using dbtest::DatabaseFolder;

class RecordsSessionTest : public DatabaseFolder
{
protected:
    std::string dbFile() const { return pathOf("kelvora.dbs"); }

    // A session on a file holding one record with two points, opened as the window opens it.
    std::unique_ptr<RecordsSession> openedSession()
    {
        saveDatabase(dbFile(), dbtest::oneRecordStore("Pyrometer"));
        auto session = std::make_unique<RecordsSession>(dbFile());
        EXPECT_EQ(session->lock(), DatabaseLock::Failure::None);
        EXPECT_EQ(session->open(RecordsSession::Opening::AtStartup).kind, OpenOutcome::Loaded);
        return session;
    }
};

struct AutosaveCase
{
    const char *name;
    std::function<void(RecordStore &)> change;
    TableState recordStateAfter; // the user's own edit stays open
    const char *savedName;
    std::size_t savedMeasurements;
};

class Autosave : public RecordsSessionTest, public ::testing::WithParamInterface<AutosaveCase>
{
};

TEST_P(Autosave, WritesWhatIsPostedAndLeavesTheUsersEditOpen)
{
    const AutosaveCase &c = GetParam();
    const auto session = openedSession();
    c.change(session->records());
    session->autosave();
    EXPECT_EQ(session->records().cdsMain.state(), c.recordStateAfter);
    const StoreData saved = loadDatabase(dbFile());
    ASSERT_EQ(saved.records.size(), 1u);
    const RowData &record = saved.records.front();
    EXPECT_EQ(std::get<std::string>(
                  record.values.at(static_cast<std::size_t>(fieldIndex(RecordField::Name)))),
              c.savedName);
    EXPECT_EQ(record.nested.at(1).rows.size(), c.savedMeasurements);
}

// A measurement is held in the record's edit buffer until the record is posted.
void addMeasurement(RecordStore &records)
{
    records.cdsInterp.append();
    MeasurementRowEditor(records.cdsInterp).setS(0.5);
    records.cdsInterp.post();
}

INSTANTIATE_TEST_SUITE_P(
    Changes, Autosave,
    ::testing::Values(
        AutosaveCase{"MeasurementAdded", addMeasurement, TableState::Browse, "Pyrometer", 1},
        AutosaveCase{"NameBeingTyped",
                     [](RecordStore &records) {
                         records.cdsMain.edit();
                         RecordRowEditor(records.cdsMain).setName("Pyro");
                     },
                     TableState::Edit, "Pyrometer", 0},
        // The record is posted for its measurement, and the name typed so far with it.
        AutosaveCase{"MeasurementAddedWhileTheNameIsTyped",
                     [](RecordStore &records) {
                         records.cdsMain.edit();
                         RecordRowEditor(records.cdsMain).setName("Pyro");
                         addMeasurement(records);
                     },
                     TableState::Browse, "Pyro", 1}),
    dbtest::CaseName);

TEST_F(RecordsSessionTest, AsksForASaveAfterEveryChangeOnceOpenButNotForItsOwnPost)
{
    saveDatabase(dbFile(), dbtest::oneRecordStore("Pyrometer"));
    RecordsSession session(dbFile());
    int asked = 0;
    session.changed = [&asked] { ++asked; };
    session.open(RecordsSession::Opening::Check);
    EXPECT_EQ(asked, 0) << "opening the tables is no change of the user's";

    addMeasurement(session.records());
    EXPECT_GT(asked, 0);
    const int beforeAutosave = asked;
    session.autosave(); // posts the record for its measurement
    EXPECT_EQ(session.records().cdsMain.state(), TableState::Browse);
    EXPECT_EQ(asked, beforeAutosave);
    session.records().cdsInterp.remove();
    EXPECT_GT(asked, beforeAutosave);
}

TEST_F(RecordsSessionTest, CloseWritesThePendingEditAndLetsTheNextSessionIn)
{
    const auto session = openedSession();
    session->records().cdsMain.edit();
    RecordRowEditor(session->records().cdsMain).setName("Renamed");
    RecordsSession second(dbFile());
    EXPECT_EQ(second.lock(), DatabaseLock::Failure::InUse);

    session->close();
    EXPECT_FALSE(session->isOpen());
    EXPECT_EQ(second.lock(), DatabaseLock::Failure::None);
    second.open(RecordsSession::Opening::Check);
    EXPECT_EQ(RecordRow(second.records().cdsMain).name(), "Renamed");
}

} // namespace
} // namespace kelvora
