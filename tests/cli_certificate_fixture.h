#pragma once

// A database for the certificate commands of kelvora-cli, run as the user runs them in a
// temporary folder.

#include "cli_process.h"
#include "database/database.h"
#include "records/laboratory.h"
#include "records/operations.h"
#include "samples/noisyrecord.h"
#include "tests/certificate_fixture.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace kelvora::test {

class CliCertificate : public TempDirTest
{
protected:
    // A database with the computed record "Lamp" (7 points, 600 K to 1200 K, two
    // measurements) and the record "Raw" that was never computed.
    void SetUp() override
    {
        TempDirTest::SetUp();
        db = pathOf("kelvora.dbs");
        RecordStore records;
        records.store.open();
        ImportRecord(records, samples::noisyRecordFile(4), "Raw");
        test::importComputedRecord(records, "Lamp", 7, {0.05L, 0.2L});
        saveDatabase(db, records.store.data());
    }

    ProcessResult cli(std::vector<std::string> args) const
    {
        args.push_back("--db");
        args.push_back(db);
        return runProgram(KELVORA_CLI, args, dir(), {"LC_ALL=C"});
    }

    ProcessResult ok(const std::vector<std::string> &args) const
    {
        const ProcessResult result = cli(args);
        EXPECT_EQ(result.status, 0) << result.err;
        return result;
    }

    // The certificate number the record holds in the database file.
    std::string storedNumber(const std::string &name) const
    {
        const auto field = static_cast<std::size_t>(fieldIndex(RecordField::CertNo));
        const auto nameField = static_cast<std::size_t>(fieldIndex(RecordField::Name));
        for (const RowData &record : loadDatabase(db).records) {
            if (record.values[nameField] == Value{name}) {
                const auto *number = std::get_if<std::string>(&record.values[field]);
                return number != nullptr ? *number : std::string();
            }
        }
        ADD_FAILURE() << "no record " << name;
        return {};
    }

    std::string db;
};

} // namespace kelvora::test
