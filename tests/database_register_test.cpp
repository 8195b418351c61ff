#include "tests/database_fixture.h"

#include <optional>

namespace kelvora::dbtest {
namespace {

using dbtest::PrintTo;

// An entry as issuing makes it, with a document of its own bytes (every byte value in it).
CertificateEntry entryOf(const std::string &number, std::int64_t recordKey,
                         std::int64_t issuedMs)
{
    CertificateEntry entry;
    entry.number = number;
    entry.recordKey = recordKey;
    entry.recordName = "Pyrometer";
    entry.issued = DateTime{issuedMs};
    entry.fit = "PSO";
    entry.fitChosen = true;
    entry.step = 25;
    entry.customer = "ACME \xC2\xB5";
    entry.fingerprint = "f" + number;
    std::string document = "%PDF-1.4 " + number;
    for (int i = 0; i < 256; ++i)
        document += static_cast<char>(i);
    entry.sha256 = "s" + number;
    entry.document = document;
    return entry;
}

// Compares what the register records of each entry; documents are not compared.
void expectSameRegister(const std::vector<CertificateEntry> &expected,
                        const std::vector<CertificateEntry> &actual)
{
    ASSERT_EQ(expected.size(), actual.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        const CertificateEntry &e = expected[i];
        const CertificateEntry &a = actual[i];
        const std::string where = "entry " + std::to_string(i);
        EXPECT_EQ(a.pos, e.pos) << where;
        EXPECT_EQ(a.number, e.number) << where;
        EXPECT_EQ(a.recordKey, e.recordKey) << where;
        EXPECT_EQ(a.recordName, e.recordName) << where;
        EXPECT_EQ(a.issued, e.issued) << where;
        EXPECT_EQ(a.fit, e.fit) << where;
        EXPECT_EQ(a.fitChosen, e.fitChosen) << where;
        EXPECT_EQ(a.step, e.step) << where;
        EXPECT_EQ(a.customer, e.customer) << where;
        EXPECT_EQ(a.sha256, e.sha256) << where;
        EXPECT_EQ(a.fingerprint, e.fingerprint) << where;
        EXPECT_EQ(a.replaces, e.replaces) << where;
        EXPECT_EQ(a.state, e.state) << where;
        EXPECT_EQ(a.withdrawalReason, e.withdrawalReason) << where;
        EXPECT_EQ(a.withdrawn, e.withdrawn) << where;
        EXPECT_FALSE(a.document.has_value()) << where << ": documents stay in the file";
    }
}

// The register is written with the records, read back without its documents, and a save in
// place writes what was added and withdrawn since; every document stays readable.
TEST_F(DatabaseFolder, TheRegisterIsSavedWithTheRecordsAndItsDocumentsStayInTheFile)
{
    StoreData data = oneRecordStore();
    data.certificates = {entryOf("KV-2026-0001", 1, SomeTimeMs)};
    data.certificates[0].pos = 1;
    const std::string firstDocument = *data.certificates[0].document;
    saveDatabase(dbPath, data);

    Store store;
    store.load(loadDatabase(dbPath));
    expectSameRegister(data.certificates, store.certificates());
    EXPECT_EQ(loadCertificateDocument(dbPath, store.certificates()[0]), firstDocument);

    CertificateEntry second = entryOf("KV-2026-0002", 1, SomeTimeMs + 1000);
    second.replaces = "KV-2026-0001";
    const std::string secondDocument = *second.document;
    EXPECT_EQ(store.addCertificate(second), 2);
    store.withdrawCertificate(1, "Wrong serial number", DateTime{SomeTimeMs + 2000});
    EXPECT_EQ(store.changes().certificatesAdded, (std::set<std::int64_t>{2}));
    EXPECT_EQ(store.changes().certificatesWithdrawn, (std::set<std::int64_t>{1}));
    saveDatabase(dbPath, store);
    EXPECT_TRUE(store.changes().certificatesAdded.empty());
    EXPECT_FALSE(store.certificates()[1].document.has_value()) << "dropped once saved";

    const StoreData read = loadDatabase(dbPath);
    expectSameRegister(store.certificates(), read.certificates);
    EXPECT_EQ(read.certificates[0].state, CertificateState::Withdrawn);
    EXPECT_EQ(read.certificates[0].withdrawalReason, "Wrong serial number");
    EXPECT_EQ(loadCertificateDocument(dbPath, read.certificates[0]), firstDocument);
    EXPECT_EQ(loadCertificateDocument(dbPath, read.certificates[1]), secondDocument);

    // A whole rewrite of the file, from a store that holds no document, keeps them.
    saveDatabase(dbPath, read);
    expectSameRegister(read.certificates, loadDatabase(dbPath).certificates);
    EXPECT_EQ(loadCertificateDocument(dbPath, read.certificates[1]), secondDocument);
    EXPECT_EQ(queryText(dbPath, "SELECT count(*) FROM _certificateDocuments"), "2");
}

// Whole rewrites keep a document only for the entry it was written for.
TEST_F(DatabaseFolder, AWholeRewriteDropsTheDocumentsOfEntriesItDoesNotWrite)
{
    StoreData data = oneRecordStore();
    data.certificates = {entryOf("KV-2026-0001", 1, SomeTimeMs),
                         entryOf("KV-2026-0002", 1, SomeTimeMs + 1)};
    data.certificates[0].pos = 1;
    data.certificates[1].pos = 2;
    saveDatabase(dbPath, data);
    StoreData other = oneRecordStore();
    other.certificates = {entryOf("KV-2027-0001", 1, SomeTimeMs + 2)};
    other.certificates[0].pos = 2;
    saveDatabase(dbPath, other);
    EXPECT_EQ(queryText(dbPath, "SELECT group_concat(_pos) FROM _certificateDocuments"), "2");
    EXPECT_NE(loadCertificateDocument(dbPath, loadDatabase(dbPath).certificates[0])
                  .find("KV-2027-0001"),
              std::string::npos);
}

// A store whose documents are in a file that is gone cannot write them anew: the save is
// refused rather than register certificates without them.
TEST_F(DatabaseFolder, ANewFileWithoutTheDocumentsOfItsEntriesIsRefused)
{
    StoreData data = oneRecordStore();
    data.certificates = {entryOf("KV-2026-0001", 1, SomeTimeMs)};
    data.certificates[0].pos = 1;
    saveDatabase(dbPath, data);
    const StoreData read = loadDatabase(dbPath);
    fs::remove(dbPath);
    try {
        saveDatabase(dbPath, read);
        ADD_FAILURE() << "written without the document";
    } catch (const Error &e) {
        EXPECT_NE(std::string(e.what()).find("The document of certificate KV-2026-0001 is in"
                                             " the database file that was read"),
                  std::string::npos)
            << e.what();
    }
    EXPECT_FALSE(fs::exists(dbPath));
    EXPECT_EQ(folderEntries(folder), std::vector<std::string>{});
}

TEST(CertificateRegister, TheStoreTakesAnEntryOnlyWithItsDocumentAndKeepsSavedOnes)
{
    Store store;
    CertificateEntry withoutDocument = entryOf("KV-2026-0001", 1, SomeTimeMs);
    withoutDocument.document.reset();
    EXPECT_THROW(store.addCertificate(withoutDocument), StoreError);
    const std::int64_t pos = store.addCertificate(entryOf("KV-2026-0001", 1, SomeTimeMs));
    store.changesSaved(7);
    EXPECT_THROW(store.removeUnsavedCertificate(pos), StoreError);
    const std::int64_t unsaved = store.addCertificate(entryOf("KV-2026-0002", 1, SomeTimeMs));
    store.withdrawCertificate(unsaved, "Typing error", DateTime{SomeTimeMs});
    EXPECT_TRUE(store.changes().certificatesWithdrawn.empty()) << "written once, as added";
    store.removeUnsavedCertificate(unsaved);
    EXPECT_TRUE(store.changes().certificatesAdded.empty());
    ASSERT_EQ(store.certificates().size(), 1u);
    EXPECT_EQ(store.addCertificate(entryOf("KV-2026-0003", 1, SomeTimeMs)), unsaved);
}

// A file of layout 4 held certificate numbers in its records alone: they become entries
// without document in the order of issue, a record without a date of issue at its creation,
// one number held by two records twice; its first save writes them.
TEST_F(DatabaseFolder, AnOlderFilesCertificateNumbersBecomeItsRegister)
{
    StoreData data;
    const auto record = [&data](const std::string &name, std::int64_t created,
                                const char *number, std::optional<std::int64_t> issued) {
        RowData r = makeRecord(name, created);
        set(r, mainSchema(), "Customer", std::string("Customer of " + name));
        if (number != nullptr)
            set(r, mainSchema(), "CertNo", std::string(number));
        if (issued)
            set(r, mainSchema(), "CertIssued", DateTime{*issued});
        data.records.push_back(std::move(r));
    };
    record("A", SomeTimeMs, "KV-2025-0007", SomeTimeMs + 5000);
    record("B", SomeTimeMs + 1, nullptr, std::nullopt);
    record("C", SomeTimeMs + 2, "KV-2025-0003", std::nullopt);
    record("D", SomeTimeMs + 3, "KV-2025-0007", SomeTimeMs + 4000);
    saveDatabase(dbPath, data);
    toLayout(dbPath, 4);

    const StoreData read = loadDatabase(dbPath);
    struct Expected
    {
        const char *number;
        std::int64_t key;
        const char *name;
        std::int64_t issued;
    };
    const Expected expected[] = {
        {"KV-2025-0003", 3, "C", SomeTimeMs + 2},
        {"KV-2025-0007", 4, "D", SomeTimeMs + 4000},
        {"KV-2025-0007", 1, "A", SomeTimeMs + 5000},
    };
    ASSERT_EQ(read.certificates.size(), std::size(expected));
    for (std::size_t i = 0; i < std::size(expected); ++i) {
        const CertificateEntry &entry = read.certificates[i];
        EXPECT_EQ(entry.pos, static_cast<std::int64_t>(i) + 1);
        EXPECT_EQ(entry.number, expected[i].number);
        EXPECT_EQ(entry.recordKey, expected[i].key);
        EXPECT_EQ(entry.recordName, expected[i].name);
        EXPECT_EQ(entry.customer, std::string("Customer of ") + expected[i].name);
        EXPECT_EQ(entry.issued, DateTime{expected[i].issued});
        EXPECT_FALSE(entry.hasDocument());
        EXPECT_EQ(entry.fingerprint, "");
        EXPECT_EQ(entry.state, CertificateState::Issued);
    }

    Store store;
    store.load(read);
    store.open();
    store.cdsMain.edit();
    store.cdsMain.setString("Rem", "saved again");
    store.cdsMain.post();
    saveDatabase(dbPath, store);
    EXPECT_EQ(pragma(dbPath, "user_version"), CurrentLayout);
    expectSameRegister(read.certificates, loadDatabase(dbPath).certificates);
}

} // namespace
} // namespace kelvora::dbtest
