#pragma once

#include "calibration/run.h"
#include "textio/recordfile.h"

namespace kelvora::samples {

// The record that tests and benchmarks calibrate: n points (at most MaxPoints), 600 K upwards
// in steps of 100 K, of an instrument with A = 0.65, B = 0.15, C = 3e6 at 0.65 um and 0.01 um,
// whose reference temperatures carry -20, 0 or +20 mK of error, so that no fit reaches a zero
// deviation and every swarm pass runs its full length.

// As a record file holds it, signals as doubles.
RecordFileData noisyRecordFile(int n);

// As a run reads it from the imported record, with the Saunders-White guess as start values.
RunInput noisyRecord(int n);

} // namespace kelvora::samples
