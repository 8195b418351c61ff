#include "database/rowchecksum.h"
#include "records/laboratory.h"
#include "tests/database_fixture.h"

#include <sqlite3.h>

#include <algorithm>
#include <string>

namespace kelvora::dbtest {
namespace {

// Settings with every byte value in them, as a logo's picture has.
Settings someSettings()
{
    std::string bytes;
    for (int i = 0; i < 256; ++i)
        bytes += static_cast<char>(i);
    LaboratorySettings laboratory;
    laboratory.name = "Kelvora Laboratory \xC2\xB5";
    laboratory.address = "1 Furnace Lane\nThermopolis";
    laboratory.logo = bytes + bytes;
    laboratory.nextNumber = 17;
    return WithLaboratorySettings({{"empty", ""}}, laboratory);
}

TEST_F(DatabaseFolder, SettingsTravelWithTheRecordsInTheFile)
{
    StoreData data = oneRecordStore();
    data.settings = someSettings();
    saveDatabase(dbPath, data);
    const StoreData read = loadDatabase(dbPath);
    expectSameStore(data, read);
    EXPECT_EQ(read.settings, data.settings);
}

TEST_F(DatabaseFolder, ASaveOfChangedSettingsAloneWritesThemInPlace)
{
    saveDatabase(dbPath, oneRecordStore());
    Store store;
    store.load(loadDatabase(dbPath));
    store.open();
    store.setSettings(someSettings());
    EXPECT_TRUE(store.changes().settingsChanged);
    EXPECT_TRUE(store.changes().changed.empty());
    saveDatabase(dbPath, store);
    EXPECT_FALSE(store.changes().settingsChanged);
    StoreData expected = oneRecordStore();
    expected.settings = someSettings();
    expectSameStore(expected, loadDatabase(dbPath));

    // A second change replaces the first, and the same settings again are no change.
    Settings fewer{{"laboratory.name", "Other"}};
    store.setSettings(fewer);
    saveDatabase(dbPath, store);
    EXPECT_EQ(loadDatabase(dbPath).settings, fewer);
    store.setSettings(fewer);
    EXPECT_FALSE(store.changes().settingsChanged);
}

struct DamageCase
{
    const char *name;
    const char *sql;
};

const DamageCase DamageCases[] = {
    {"ValueChanged", "UPDATE _settings SET value = x'00' WHERE name = 'empty';"},
    {"NameChanged", "UPDATE _settings SET name = 'laboratory.Name' WHERE name = "
                    "'laboratory.name';"},
    {"ValueOfAnotherKind", "UPDATE _settings SET value = NULL WHERE name = 'empty';"},
    // The rows left are sound: only the check of the whole store sees one missing.
    {"SettingDeleted", "DELETE FROM _settings WHERE name = 'empty';"},
};

class DamagedSettings : public DatabaseFolder, public ::testing::WithParamInterface<DamageCase>
{
};

TEST_P(DamagedSettings, AreFoundWhenTheFileIsRead)
{
    StoreData data = oneRecordStore();
    data.settings = someSettings();
    saveDatabase(dbPath, data);
    // A STRICT table takes no NULL where NOT NULL stands: the column's kind is changed by
    // rebuilding the table without its rules.
    if (std::string(GetParam().sql).find("NULL") != std::string::npos)
        execSql(dbPath, "ALTER TABLE _settings RENAME TO old; CREATE TABLE _settings (name, "
                        "value, _check); INSERT INTO _settings SELECT * FROM old; DROP TABLE "
                        "old;");
    execSql(dbPath, GetParam().sql);
    EXPECT_THROW(loadDatabase(dbPath), DatabaseError);
}

INSTANTIATE_TEST_SUITE_P(Settings, DamagedSettings, ::testing::ValuesIn(DamageCases), CaseName);

struct AppendedFieldsCase
{
    const char *name;
    const char *firstAppended; // the first field of cdsMain the older program did not have
    int layout;
};

class DatabaseOlderMain : public DatabaseFolder,
                          public ::testing::WithParamInterface<AppendedFieldsCase>
{
};

// A file written before fields were appended to the records: read with them empty, and
// rewritten whole by its first save.
TEST_P(DatabaseOlderMain, IsReadWithoutTheAppendedFieldsAndRewrittenByItsFirstSave)
{
    const StoredFields all = storedFields(mainSchema());
    const auto first = std::find_if(all.begin(), all.end(), [](const auto &field) {
        return field.second->name == GetParam().firstAppended;
    });
    ASSERT_NE(first, all.end());
    const StoredFields held(all.begin(), first);
    StoreData data = oneRecordStore();
    saveDatabase(dbPath, data);
    std::string sql;
    for (auto field = first; field != all.end(); ++field)
        sql += "ALTER TABLE cdsMain DROP COLUMN " + field->second->name
               + "; DELETE FROM _fields WHERE tbl = 'cdsMain' AND name = '"
               + field->second->name + "';";
    const std::string checksum = std::to_string(recordChecksum(1, data.records.front(), held));
    sql += "UPDATE cdsMain SET _check = " + checksum + ";";
    if (GetParam().layout > 2)
        sql += "UPDATE _store SET checksums = " + checksum + " WHERE tbl = 'cdsMain';";
    execSql(dbPath, sql);
    toLayout(dbPath, GetParam().layout);

    const StoreData read = loadDatabase(dbPath);
    expectSameStore(data, read);
    EXPECT_TRUE(read.settings.empty());

    Store store;
    store.load(read);
    store.open();
    store.cdsMain.edit();
    store.cdsMain.setString("CertNo", "KV-2026-0001");
    store.cdsMain.setFloat("wS", 1e-4);
    store.cdsMain.post();
    store.setSettings(someSettings());
    saveDatabase(dbPath, store);
    const StoreData reread = loadDatabase(dbPath);
    expectSameStore(store.data(), reread);
    EXPECT_EQ(reread.settings, someSettings());
}

INSTANTIATE_TEST_SUITE_P(
    Files, DatabaseOlderMain,
    // A file of a program from before certificates (layout 2): no settings table, no check of
    // the whole store, and the record table ends with the measurements.
    ::testing::Values(AppendedFieldsCase{"BeforeCertificates", "Customer", 2},
                      AppendedFieldsCase{"BeforeTheSeed", "Seed", 3},
                      AppendedFieldsCase{"BeforeUncertaintySettings", "wS", 3}),
    [](const ::testing::TestParamInfo<AppendedFieldsCase> &info) {
        return std::string(info.param.name);
    });

} // namespace
} // namespace kelvora::dbtest
