// Any bytes as the database file: loaded into a store and opened, or refused as a damaged
// file; the message never quotes the file's bytes.

#include "database/database.h"
#include "fuzzfile.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const std::string path = kelvora::fuzz::writeInput("kelvora.dbs", data, size);
    try {
        kelvora::Store store;
        store.load(kelvora::loadDatabase(path));
        store.open();
        store.cdsMain.last();
    } catch (const kelvora::DatabaseError &error) {
        for (const char *c = error.what(); *c; ++c)
            if (static_cast<unsigned char>(*c) < ' ' || static_cast<unsigned char>(*c) > '~')
                std::abort();
    } catch (const kelvora::StoreError &) {
    }
    return 0;
}
