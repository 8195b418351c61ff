#include "textio/recordfile.h"

#include "core/global.h"
#include "core/numfmt.h"
#include "core/storable.h"
#include "textio/lookalike.h"
#include "textio/numberreader.h"

#include <optional>

namespace kelvora {

namespace {

constexpr int MinPoints = 3;
// The most characters of a line that a message quotes.
constexpr std::size_t MostQuoted = 40;

// What a point's line gives after its temperature.
struct AfterTemperature
{
    std::optional<long double> uT;
    std::string unread; // what looks like a number but is not read as u(T); empty: nothing
};

[[noreturn]] void refuse(const std::string &message)
{
    throw RecordFileError(RecordFileError::Kind::Check, message);
}

// Reads the numbers of one record file, turning an invalid run into the read error.
class RecordFileReader
{
public:
    explicit RecordFileReader(const std::string &path)
        : m_path(path), m_file(path), m_reader(m_file) {}

    long double real()
    {
        return valueOf(m_reader.readReal());
    }
    int wholeNumber()
    {
        return valueOf(m_reader.readWholeNumber());
    }
    void endOfGroup() { m_reader.skipLine(); }
    // The uncertainty a point's line gives after its temperature, if any: a number followed
    // by nothing or by a "//" comment. Anything else on the line is a comment; what of it
    // looks like a number is quoted. Nothing beyond the line, nor more of it than a quote
    // shows, is read.
    AfterTemperature afterTemperature()
    {
        const std::string run = m_reader.runOnLine();
        if (run.empty())
            return {};
        long double value = 0;
        const bool number = parseDecimal(run, value);
        const std::string next = number ? m_reader.runOnLine() : std::string();
        if (number && (next.empty() || next.rfind("//", 0) == 0))
            return {value, {}};
        if (!looksLikeNumber(run))
            return {};
        std::string written = next.empty() ? run : run + " " + next;
        written += m_reader.textOnLine(4 * MostQuoted);
        written.erase(written.find_last_not_of(" \t") + 1);
        return {std::nullopt, visibleText(written, MostQuoted)};
    }

private:
    template <typename T>
    T valueOf(const std::optional<T> &value) const
    {
        if (!value)
            throw RecordFileError(RecordFileError::Kind::Read, "Error in reading file " + m_path);
        return *value;
    }

    const std::string &m_path;
    InputTextFile m_file;
    NumberReader m_reader;
};

} // namespace

RecordFileData readRecordFile(const std::string &path, char decimalSeparator)
{
    RecordFileReader reader(path);
    const auto bound = [decimalSeparator](long double value, int decimals) {
        return formatFixed(value, 15, decimals, decimalSeparator);
    };
    RecordFileData data;

    // The range checks compare in double precision, as the values are stored.
    data.MeanWL = reader.real();
    reader.endOfGroup();
    const double meanWL = static_cast<double>(data.MeanWL);
    if (meanWL < 0.1 || meanWL > 1000.0)
        refuse("Mean wavelength is out of range [" + bound(0.1L, 1) + ", " + bound(1000.0L, 1)
               + "] \u00b5m");

    const long double maxBandwidth = data.MeanWL - 0.1L;
    data.Bandwidth = reader.real();
    reader.endOfGroup();
    const double bandwidth = static_cast<double>(data.Bandwidth);
    if (bandwidth < 0.0 || bandwidth > static_cast<double>(maxBandwidth))
        refuse("Bandwidth is out of range [0, " + bound(maxBandwidth, 4) + "] \u00b5m");

    data.N = reader.wholeNumber();
    reader.endOfGroup();
    if (data.N < MinPoints || data.N > MaxPoints)
        refuse("Number of reference blackbodies is out of range [3, " + std::to_string(MaxPoints)
               + "]");

    for (int i = 0; i < data.N; ++i) {
        const std::string point = std::to_string(i + 1);
        const long double s = reader.real();
        const long double t = reader.real();
        const AfterTemperature after = reader.afterTemperature();
        if (i + 1 < data.N) // nothing after the last point is read
            reader.endOfGroup();
        if (!(s > 0.0L))
            refuse("Signals must be positive");
        // The values are stored as doubles: one that would become 0, lose its precision or
        // overflow on the way is refused here, naming it, instead of failing a calibration
        // or vanishing from an uncertainty.
        if (const std::string refusal =
                unstorableText("Signal of point " + point, s, decimalSeparator);
            !refusal.empty())
            refuse(refusal);
        const double temperature = static_cast<double>(t);
        if (temperature < 100.0 || temperature > 4000.0)
            refuse("Temperatures must be from " + bound(100.0L, 1) + " K to " + bound(4000.0L, 1)
                   + " K");
        if (const std::optional<long double> u = after.uT) {
            const std::string what = "Uncertainty of the temperature of point " + point;
            if (!(*u > 0.0L))
                refuse(what + " must be a positive number of mK");
            if (const std::string refusal = unstorableText(what, *u, decimalSeparator);
                !refusal.empty())
                refuse(refusal);
        }
        if (!after.unread.empty())
            data.unreadUncertainties.push_back("Point " + point + ": '" + after.unread
                                               + "' after the temperature is not read as u(T)");
        data.S.push_back(s);
        data.T.push_back(t);
        data.uT.push_back(after.uT);
    }
    return data;
}

std::string unreadUncertaintiesText(const RecordFileData &file)
{
    if (file.unreadUncertainties.empty())
        return {};
    std::string text;
    for (const std::string &line : file.unreadUncertainties)
        text += line + "\r";
    return text
           + "A u(T) in mK is a number written with a full stop, followed on its line by "
             "nothing or by a // comment; anything else after the temperature is a comment.";
}

ReferenceSet ReferenceSetOf(const RecordFileData &file)
{
    ReferenceSet reference;
    for (int i = 0; i < file.N; ++i)
        reference.append(file.S.at(static_cast<std::size_t>(i)),
                         file.T.at(static_cast<std::size_t>(i)));
    return reference;
}

} // namespace kelvora
