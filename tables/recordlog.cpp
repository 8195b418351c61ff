#include "tables/recordlog.h"

namespace kelvora {

void RecordLog::added()
{
    keys.push_back(nextKey);
    changes.changed.insert(nextKey++);
}

void RecordLog::removed(int id)
{
    const auto at = keys.begin() + id;
    changes.changed.erase(*at);
    changes.removed.insert(*at);
    keys.erase(at);
}

} // namespace kelvora
