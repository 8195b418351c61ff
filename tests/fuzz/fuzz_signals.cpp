// Any bytes as a signal list: 1 to 1000 signals, or refused with a message.

#include "fuzzfile.h"
#include "textio/signals.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const std::string path = kelvora::fuzz::writeInput("signals.txt", data, size);
    try {
        const std::size_t count = kelvora::readSignalList(path, '.').size();
        if (count < 1 || count > kelvora::MaxSignals)
            std::abort();
    } catch (const kelvora::RecordFileError &) {
    }
    return 0;
}
