#include "textio/signals.h"

#include "core/numfmt.h"
#include "core/storable.h"
#include "textio/numberreader.h"

namespace kelvora {

std::vector<long double> readSignalList(const std::string &path, char decimalSeparator)
{
    const std::string failure = "Error in reading file " + path;
    InputTextFile file(path, failure);
    NumberReader reader(file);
    const auto valueOf = [&failure](const auto &value) {
        if (!value)
            throw RecordFileError(RecordFileError::Kind::Read, failure);
        return *value;
    };

    const int count = valueOf(reader.readWholeNumber());
    reader.skipLine();
    if (count < 1 || count > MaxSignals)
        throw RecordFileError(RecordFileError::Kind::Check,
                              "Number of signals must be from 1 to " + std::to_string(MaxSignals)
                                  + "\rCheck the first line in the file " + path);
    std::vector<long double> signals;
    signals.reserve(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) {
        const long double signal = valueOf(reader.readReal());
        if (const std::string refusal =
                unstorableText("Signal " + std::to_string(i + 1), signal, decimalSeparator);
            !refusal.empty())
            throw RecordFileError(RecordFileError::Kind::Check, refusal);
        signals.push_back(signal);
        if (i + 1 < count) // nothing after the last signal is read
            reader.skipLine();
    }
    return signals;
}

std::string interpolationResultsText(const std::vector<std::pair<double, double>> &rows)
{
    std::string text = "Number of interpolated temperatures: " + std::to_string(rows.size())
                       + "\r\n  Signal                  Temperature(K)\r\n";
    for (const auto &[signal, temperature] : rows)
        text += formatScientific(signal) + ' ' + formatWidth(temperature, 10, 4) + "\r\n";
    return text;
}

} // namespace kelvora
