#pragma once

#include "calibration/run.h"
#include "core/datetime.h"
#include "core/global.h"
#include "tables/recordstore.h"
#include "textio/recordfile.h"

#include <cstdint>
#include <string>

namespace kelvora {

// Record operations shared by the window and the command-line tool. Each works on the
// current record; the caller has shown its dialogs before and shows any message after.

// The message of a value the import cannot store.
inline constexpr const char *WriteFailedText = "Error writing data to database";

// A point of an imported record that the store refused to hold: what() is WriteFailedText.
class WriteFailedError : public Error
{
public:
    WriteFailedError() : Error(WriteFailedText) {}
};

// Adds the imported record as a new current record: the record with Name, MeanWL, Bandwidth
// (a store refusal propagates as StoreError and leaves the record in insert state), its
// points (a failure: WriteFailedError; the points so far stay in the record's pending edit,
// stored when it is next posted), the Saunders-White guess over the file's points as read (a
// part of it too large for a double: Error naming it and nothing else, as nothing of the guess
// was written), and its reference range. Name is cut to 100 characters.
void ImportRecord(RecordStore &records, const RecordFileData &file, const std::string &name);

// Why the current record cannot be calibrated, or empty: a calibration fits three parameters
// and needs at least three reference points.
std::string CalibrationRefusal(RecordStore &records);

// What a calibration run reads from the current record: AS, BS, CS (empty = 0) and its
// reference points in table order. The reference cursor stays where it was.
RunInput RunInputOf(RecordStore &records);

// Writes the held results of a calibration run into the current record and its reference
// points (the first NPoints rows, with the fitted temperatures of both triples at RefS and
// their deviations from RefT) with the seed its swarm ran with, marks it computed and stamps
// Processed with `now`.
void SaveResults(RecordStore &records, const RunResults &results, DateTime now);

} // namespace kelvora
