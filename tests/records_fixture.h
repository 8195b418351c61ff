#pragma once

#include "calibration/run.h"
#include "core/global.h"
#include "records/operations.h"
#include "tables/recordstore.h"
#include "tables/rows.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace kelvora::test {

using Points = std::vector<std::pair<long double, long double>>; // (S, T)

struct Ranges
{
    double SMin, SMax, TMin, TMax;
};

// A record store opened empty, with a clock that ticks one second per record.
class RecordsTest : public ::testing::Test
{
protected:
    RecordsTest()
    {
        records.store.clock = [this] { return DateTime{m_clock += 1000}; };
        records.store.open();
    }

    static RecordFileData fileData(const Points &points, long double meanWL = 0.65L,
                                   long double bandwidth = 0.01L)
    {
        RecordFileData file;
        file.MeanWL = meanWL;
        file.Bandwidth = bandwidth;
        file.N = static_cast<int>(points.size());
        for (const auto &[s, t] : points) {
            file.S.push_back(s);
            file.T.push_back(t);
        }
        return file;
    }

    void import(const std::string &name, const Points &points)
    {
        ImportRecord(records, fileData(points), name);
    }

    Ranges ranges() const
    {
        const RecordRow record(records.cdsMain);
        return {record.SMin(), record.SMax(), record.TMin(), record.TMax()};
    }

    void expectRanges(const Ranges &expected) const
    {
        const Ranges actual = ranges();
        EXPECT_EQ(actual.SMin, expected.SMin);
        EXPECT_EQ(actual.SMax, expected.SMax);
        EXPECT_EQ(actual.TMin, expected.TMin);
        EXPECT_EQ(actual.TMax, expected.TMax);
    }

    // Writes fields of the current record and posts it.
    void editRecord(const std::function<void(RecordRowEditor &)> &write)
    {
        records.cdsMain.edit();
        RecordRowEditor record(records.cdsMain);
        write(record);
        records.cdsMain.post();
    }

    void addMeasurements(const std::vector<double> &values)
    {
        for (const double s : values) {
            records.cdsInterp.append();
            MeasurementRowEditor(records.cdsInterp).setS(s);
            records.cdsInterp.post();
        }
        PostIfEditing(records.cdsMain);
    }

    // A field of every row of the table, read by its accessor in the table's row view.
    template <typename Row, typename Value>
    std::vector<Value> column(Table &table, Value (Row::*field)() const)
    {
        std::vector<Value> values;
        for (int i = 1; i <= table.recordCount(); ++i) {
            table.setRecNo(i);
            values.push_back((Row(table).*field)());
        }
        return values;
    }

    RecordStore records;

private:
    std::int64_t m_clock = 1262254520000; // 2009-12-31 10:15:20
};

inline const Points ThreePoints{{0.5L, 1000.0L}, {2.0L, 1500.0L}, {0.1L, 800.0L}};

// A parameter triple whose temperatures are those of A = 1, B = 0, C = 1 shifted by `shift`
// kelvin: T(S) = C2 / ln(1/S + 1) - B.
inline TParamVector shiftedTriple(long double shift)
{
    TParamVector p;
    p[1] = 1.0L;
    p[2] = -shift;
    p[3] = 1.0L;
    return p;
}

// The held results of a run on `points` whose triples are shiftedTriple(lmShift) and
// shiftedTriple(psoShift).
inline RunResults shiftedResults(const Points &points, long double lmShift, long double psoShift,
                                 long double LMMeanRMS, long double PSOMeanRMS)
{
    RunResults results;
    for (const auto &[s, t] : points)
        results.reference.append(s, t);
    results.LMResult = shiftedTriple(lmShift);
    results.PSOResult = shiftedTriple(psoShift);
    results.LMMeanRMS = LMMeanRMS;
    results.PSOMeanRMS = PSOMeanRMS;
    return results;
}

// The signal at which A = 1, B = 0, C = 1 gives the temperature t.
inline long double signalAt(long double t)
{
    return 1.0L / (std::exp(C2 / t) - 1.0L);
}

} // namespace kelvora::test
