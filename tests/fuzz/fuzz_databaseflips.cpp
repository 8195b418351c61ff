// A sound database file with bytes changed: the input is a list of (offset, mask) pairs, each
// 3 bytes, applied to the file by exclusive or. The damaged file is refused, or it loads the
// very records that were saved: damage that changes a value and still loads is a finding.

#include "database/database.h"
#include "fuzzfile.h"

#include <cstdlib>
#include <string>

namespace {

using namespace kelvora;

void set(RowData &row, const TableSchema &schema, std::string_view field, Value value)
{
    row.values[static_cast<std::size_t>(schema.fieldIndex(field))] = std::move(value);
}

// Two calibrated records with points and measurements.
StoreData sample()
{
    StoreData data;
    for (int i = 0; i < 2; ++i) {
        RowData r;
        r.values.assign(mainSchema().fields.size(), std::monostate{});
        r.nested.resize(2);
        set(r, mainSchema(), "Name", "Lamp " + std::to_string(i));
        set(r, mainSchema(), "Created", DateTime{1709647629123 + i});
        set(r, mainSchema(), "Computed", i == 1);
        set(r, mainSchema(), "ALM", 1.59616 + i);
        set(r, mainSchema(), "Rem", std::string("calibrated"));
        for (std::int64_t p = 1; p <= 3; ++p) {
            RowData point;
            point.values.assign(bbSchema().fields.size(), std::monostate{});
            set(point, bbSchema(), "inc", p);
            set(point, bbSchema(), "S", 1e-3 * static_cast<double>(p));
            set(point, bbSchema(), "T", 1000.0 + static_cast<double>(p));
            r.nested[0].rows.push_back(std::move(point));
        }
        r.nested[0].nextInc = 4;
        RowData measurement;
        measurement.values.assign(interpSchema().fields.size(), std::monostate{});
        set(measurement, interpSchema(), "inc", std::int64_t{1});
        set(measurement, interpSchema(), "S", 2e-3);
        r.nested[1].rows.push_back(std::move(measurement));
        r.nested[1].nextInc = 2;
        data.records.push_back(std::move(r));
    }
    return data;
}

struct Original
{
    StoreData data;
    std::string bytes;
};

const Original &original()
{
    static const Original file = [] {
        Original o{sample(), {}};
        const std::string path = kelvora::fuzz::scratchFolder() + "/original.dbs";
        saveDatabase(path, o.data);
        std::FILE *in = std::fopen(path.c_str(), "rb");
        char buffer[4096];
        for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, in)) > 0;)
            o.bytes.append(buffer, n);
        std::fclose(in);
        return o;
    }();
    return file;
}

bool sameRows(const std::vector<RowData> &a, const std::vector<RowData> &b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (a[i].values != b[i].values || a[i].nested.size() != b[i].nested.size())
            return false;
        for (std::size_t n = 0; n < a[i].nested.size(); ++n)
            if (a[i].nested[n].nextInc != b[i].nested[n].nextInc
                || !sameRows(a[i].nested[n].rows, b[i].nested[n].rows))
                return false;
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    std::string bytes = original().bytes;
    for (std::size_t i = 0; i + 3 <= size; i += 3) {
        const std::size_t offset = (static_cast<std::size_t>(data[i]) << 8 | data[i + 1])
                                   % bytes.size();
        bytes[offset] = static_cast<char>(bytes[offset] ^ data[i + 2]);
    }
    const std::string path = kelvora::fuzz::writeInput(
        "kelvora.dbs", reinterpret_cast<const std::uint8_t *>(bytes.data()), bytes.size());
    try {
        if (!sameRows(loadDatabase(path).records, original().data.records))
            std::abort();
    } catch (const DatabaseError &) {
    }
    return 0;
}
