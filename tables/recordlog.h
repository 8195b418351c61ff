#pragma once

#include "tables/store.h"

#include <cstdint>
#include <vector>

namespace kelvora {

// The storage keys and the change log of the records of cdsMain, kept by the store.
struct RecordLog
{
    std::vector<std::int64_t> keys; // one per stored record, in storage order
    std::int64_t nextKey = 1;
    StoreChanges changes;

    void added(); // a record was appended to the storage
    void changed(int id) { changes.changed.insert(keys[static_cast<std::size_t>(id)]); }
    void removed(int id);
};

} // namespace kelvora
