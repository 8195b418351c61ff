#include "textio/recordfile.h"

#include "core/fpe.h"
#include "core/global.h"
#include "core/numfmt.h"
#include "textio/numberreader.h"

#include <limits>
#include <optional>

namespace kelvora {

namespace {

constexpr int MinPoints = 3;

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
    // by nothing or by a "//" comment. Anything else on the line is a comment.
    std::optional<long double> uncertaintyOnLine()
    {
        const std::string run = m_reader.runOnLine();
        long double value = 0;
        if (run.empty() || !parseDecimal(run, value))
            return std::nullopt;
        const std::string next = m_reader.runOnLine();
        if (!next.empty() && next.rfind("//", 0) != 0)
            return std::nullopt;
        return value;
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
        const long double s = reader.real();
        const long double t = reader.real();
        const std::optional<long double> u = reader.uncertaintyOnLine();
        if (i + 1 < data.N) // nothing after the last point is read
            reader.endOfGroup();
        if (!(s > 0.0L))
            refuse("Signals must be positive");
        // The signal is stored as a double: one that would become 0, lose its precision or
        // overflow on the way is refused here, naming it, instead of failing a calibration.
        if (s < std::numeric_limits<double>::min())
            refuse("Signal of point " + std::to_string(i + 1) + " is too small to be stored: "
                   + formatGeneral(s, 15, decimalSeparator) + " (the smallest is "
                   + formatGeneral(std::numeric_limits<double>::min(), 15, decimalSeparator)
                   + ")");
        if (s >= DoubleOverflowBound)
            refuse("Signal of point " + std::to_string(i + 1) + " is too large to be stored: "
                   + formatGeneral(s, 15, decimalSeparator) + " (the largest is "
                   + formatGeneral(std::numeric_limits<double>::max(), 15, decimalSeparator)
                   + ")");
        const double temperature = static_cast<double>(t);
        if (temperature < 100.0 || temperature > 4000.0)
            refuse("Temperatures must be from " + bound(100.0L, 1) + " K to " + bound(4000.0L, 1)
                   + " K");
        if (u && !(*u > 0.0L && *u < DoubleOverflowBound))
            refuse("Uncertainty of the temperature of point " + std::to_string(i + 1)
                   + " must be a positive number of mK");
        data.S.push_back(s);
        data.T.push_back(t);
        data.uT.push_back(u);
    }
    return data;
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
