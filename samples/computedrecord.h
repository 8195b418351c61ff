#pragma once

#include "core/datetime.h"
#include "tables/recordstore.h"

#include <string>
#include <vector>

namespace kelvora::samples {

// Imports the noisy sample record with `points` reference points (600 K upwards in steps of
// 100 K) as a new current record and saves calibration results into it as a run does,
// stamped `processed`: the instrument's own triple as the Levenberg-Marquardt result and one
// with A larger by a part in a million as the swarm's, each with its mean RMS deviation. The
// signals `measured`, if any, then become its measurements, interpolated with the
// Levenberg-Marquardt triple (a signal that gives no temperature stops the interpolation with
// its floating-point error).
void importComputedRecord(RecordStore &records, const std::string &name, int points,
                          const std::vector<long double> &measured = {},
                          DateTime processed = DateTime{1767225600000});

} // namespace kelvora::samples
