// Any bytes as a record file: accepted with values in their ranges, or refused with a message.

#include "fuzzfile.h"
#include "textio/recordfile.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const std::string path = kelvora::fuzz::writeInput("record.txt", data, size);
    try {
        const kelvora::RecordFileData record = kelvora::readRecordFile(path, '.');
        if (record.N < 3 || record.N > 20 || record.S.size() != static_cast<std::size_t>(record.N)
            || record.T.size() != record.S.size())
            std::abort();
    } catch (const kelvora::RecordFileError &) {
    }
    return 0;
}
