// kelvora-cli fit, run as the user runs it: exit statuses, texts, the JSON object and the
// repeatability of a seeded run.

#include "cli_process.h"
#include "frontend/systemlocale.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <map>
#include <regex>
#include <stdexcept>
#include <string>
#include <variant>
#include <vector>

namespace {

using kelvora::test::ProcessResult;

// The text with each full stop as the decimal separator of the locale that the tests, and the
// program they start, run in: a message's numbers as the program writes them.
std::string inSystemLocale(std::string text)
{
    std::replace(text.begin(), text.end(), '.', kelvora::systemTextLocale().decimalSeparator);
    return text;
}

class CliFit : public kelvora::test::TempDirTest
{
protected:
    ProcessResult run(const std::vector<std::string> &args) const
    {
        return kelvora::test::runProgram(KELVORA_CLI, args, dir());
    }

    static std::string sample(const std::string &name)
    {
        return std::string(KELVORA_SAMPLES) + "/" + name;
    }
};

// A JSON reader just large enough for the fit report.
struct JsonValue
{
    using Array = std::vector<JsonValue>;
    using Object = std::map<std::string, JsonValue>;
    std::variant<std::nullptr_t, double, bool, std::string, Array, Object> value;

    bool isString() const { return std::holds_alternative<std::string>(value); }
    bool isNumber() const { return std::holds_alternative<double>(value); }
    const std::string &text() const { return std::get<std::string>(value); }
    double number() const { return std::get<double>(value); }
    const Array &array() const { return std::get<Array>(value); }
    const Object &object() const { return std::get<Object>(value); }
    bool has(const std::string &key) const { return object().count(key) > 0; }
    const JsonValue &operator[](const std::string &key) const { return object().at(key); }
};

class JsonReader
{
public:
    explicit JsonReader(const std::string &text) : m_text(text) {}

    JsonValue document()
    {
        JsonValue v = value();
        skip();
        if (m_pos != m_text.size())
            throw std::runtime_error("text after the value");
        return v;
    }

private:
    void skip()
    {
        while (m_pos < m_text.size() && std::isspace(static_cast<unsigned char>(m_text[m_pos])))
            ++m_pos;
    }
    char next()
    {
        if (m_pos >= m_text.size())
            throw std::runtime_error("unexpected end");
        return m_text[m_pos++];
    }
    void expect(char c)
    {
        skip();
        if (next() != c)
            throw std::runtime_error(std::string("expected ") + c);
    }
    std::string string()
    {
        expect('"');
        std::string s;
        for (char c = next(); c != '"'; c = next()) {
            if (c != '\\') {
                s += c;
                continue;
            }
            const char e = next();
            const std::map<char, char> escapes{{'"', '"'}, {'\\', '\\'}, {'/', '/'},
                                               {'n', '\n'}, {'r', '\r'}, {'t', '\t'},
                                               {'b', '\b'}, {'f', '\f'}};
            if (e == 'u') {
                s += static_cast<char>(std::stoi(m_text.substr(m_pos, 4), nullptr, 16));
                m_pos += 4;
            } else {
                s += escapes.at(e);
            }
        }
        return s;
    }
    JsonValue value()
    {
        skip();
        const char c = m_pos < m_text.size() ? m_text[m_pos] : '\0';
        if (c == '"')
            return {string()};
        if (c == '{') {
            ++m_pos;
            JsonValue::Object object;
            skip();
            if (m_text[m_pos] == '}')
                return ++m_pos, JsonValue{object};
            do {
                std::string key = string();
                expect(':');
                object.emplace(key, value());
                skip();
            } while (next() == ',' || (--m_pos, false));
            expect('}');
            return {object};
        }
        if (c == '[') {
            ++m_pos;
            JsonValue::Array array;
            skip();
            if (m_text[m_pos] == ']')
                return ++m_pos, JsonValue{array};
            do {
                array.push_back(value());
                skip();
            } while (next() == ',' || (--m_pos, false));
            expect(']');
            return {array};
        }
        for (const auto &[word, v] : {std::pair<std::string, JsonValue>{"true", {true}},
                                      {"false", {false}}, {"null", {nullptr}}}) {
            if (m_text.compare(m_pos, word.size(), word) == 0) {
                m_pos += word.size();
                return v;
            }
        }
        std::size_t used = 0;
        const double number = std::stod(m_text.substr(m_pos), &used);
        m_pos += used;
        return {number};
    }

    const std::string &m_text;
    std::size_t m_pos = 0;
};

JsonValue parseJson(const std::string &text)
{
    return JsonReader(text).document();
}

// An extended value written with 21 significant digits.
void expectExtended(const JsonValue &v, const std::string &what)
{
    static const std::regex form(R"(-?[0-9]\.[0-9]{20}e[+-][0-9]{2,4})");
    ASSERT_TRUE(v.isString()) << what << " is not a string";
    EXPECT_TRUE(std::regex_match(v.text(), form)) << what << " = " << v.text();
}

void expectFit(const JsonValue &fit, std::size_t points, const std::string &what)
{
    for (const char *key : {"A", "B", "C", "mean_rms_mK"})
        expectExtended(fit[key], what + "." + key);
    ASSERT_EQ(fit["T_fit"].array().size(), points) << what;
    for (const JsonValue &t : fit["T_fit"].array())
        expectExtended(t, what + ".T_fit");
}

const std::string LMNotConverged =
    "Levenberg-Marquardt: Convergence was not achieved\nPlease check your data\n";

TEST_F(CliFit, RealisticRecordCalibrates)
{
    const ProcessResult r = run({"fit", sample("fixed-points-in-cu.txt"), "--restarts", "1",
                                 "--seed", "5"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");
    for (const char *part : {"Saunders-White guess", "Levenberg-Marquardt",
                             "Status = 0 (converged)", "Particle Swarm Optimization",
                             "Passes = 2", "Mean RMS (mK) = ", "  7: T = 1357.7"}) {
        EXPECT_NE(r.out.find(part), std::string::npos) << part << "\n" << r.out;
    }
    EXPECT_EQ(r.out.find("  8: T = "), std::string::npos);
}

TEST_F(CliFit, JsonReportHoldsEveryValueAsExtendedText)
{
    const ProcessResult r = run({"fit", sample("fixed-points-in-cu.txt"), "--restarts", "0",
                                 "--seed", "9", "--json"});
    ASSERT_EQ(r.status, 0) << r.err;
    const JsonValue report = parseJson(r.out);
    expectExtended(report["mean_wavelength"], "mean_wavelength");
    EXPECT_EQ(report["mean_wavelength"].text(), "1.60000000000000008882e+00");
    expectExtended(report["bandwidth"], "bandwidth");
    ASSERT_EQ(report["points"].array().size(), 7u);
    for (const JsonValue &point : report["points"].array()) {
        expectExtended(point["S"], "S");
        expectExtended(point["T"], "T");
    }
    EXPECT_EQ(report["points"].array()[6]["T"].text(), "1.35776999999999998181e+03");
    for (const char *key : {"A", "B", "C"})
        expectExtended(report["initial"][key], std::string("initial.") + key);
    // The guess 1.596875 as the record's double holds it, not as computed.
    EXPECT_EQ(report["initial"]["A"].text(), "1.59687500000000004441e+00");

    const JsonValue &lm = report["lm"];
    EXPECT_TRUE(lm["status"].isNumber());
    EXPECT_EQ(lm["status"].number(), 0.0);
    EXPECT_TRUE(lm["iterations"].isNumber());
    EXPECT_GT(lm["iterations"].number(), 0.0);
    EXPECT_EQ(lm["message"].text(), "");
    expectFit(lm, 7, "lm");

    ASSERT_EQ(report["search_box"]["lo"].array().size(), 3u);
    ASSERT_EQ(report["search_box"]["hi"].array().size(), 3u);
    for (int j = 0; j < 3; ++j) {
        expectExtended(report["search_box"]["lo"].array()[j], "lo");
        expectExtended(report["search_box"]["hi"].array()[j], "hi");
    }
    const JsonValue &pso = report["pso"];
    EXPECT_EQ(pso["passes_run"].number(), 1.0);
    EXPECT_TRUE(pso["improvements"].isNumber());
    EXPECT_EQ(pso["seed"].number(), 9.0);
    expectFit(pso, 7, "pso");
}

// Without --seed the swarm's seed comes from the clock; the report names it, and that seed
// repeats the fit.
TEST_F(CliFit, SeedFromTheClockIsReportedAndRepeatsTheFit)
{
    const std::vector<std::string> args{"fit", sample("fixed-points-in-cu.txt"), "--restarts",
                                        "0", "--json"};
    const ProcessResult drawn = run(args);
    ASSERT_EQ(drawn.status, 0) << drawn.err;
    const double seed = parseJson(drawn.out)["pso"]["seed"].number();
    ASSERT_GE(seed, 0.0);
    ASSERT_LE(seed, 4294967295.0);
    std::vector<std::string> again = args;
    again.insert(again.end(), {"--seed", std::to_string(static_cast<std::uint32_t>(seed))});
    const ProcessResult repeated = run(again);
    ASSERT_EQ(repeated.status, 0) << repeated.err;
    EXPECT_EQ(repeated.out, drawn.out);

    const ProcessResult plain = run({"fit", sample("fixed-points-in-cu.txt"), "--restarts", "0",
                                     "--seed", "4294967295"});
    EXPECT_NE(plain.out.find("  Seed = 4294967295\n"), std::string::npos) << plain.out;
}

TEST_F(CliFit, SeededRunsRepeat)
{
    const std::vector<std::string> args{"fit", sample("fixed-points-in-cu.txt"),
                                        "--restarts", "1", "--seed", "123", "--json"};
    const ProcessResult first = run(args);
    const ProcessResult second = run(args);
    ASSERT_EQ(first.status, 0) << first.err;
    EXPECT_EQ(first.out, second.out);
}

// The swarm's passes side by side give the fit of one thread, to the last digit.
TEST_F(CliFit, ThreadsGiveTheSameFit)
{
    const auto fit = [&](const char *threads) {
        return run({"fit", sample("fixed-points-in-cu.txt"), "--restarts", "1", "--seed", "31",
                    "--threads", threads, "--json"});
    };
    const ProcessResult one = fit("1");
    ASSERT_EQ(one.status, 0) << one.err;
    EXPECT_EQ(parseJson(one.out)["pso"]["passes_run"].number(), 2.0);
    const ProcessResult two = fit("2");
    ASSERT_EQ(two.status, 0) << two.err;
    EXPECT_EQ(two.out, one.out);
}

TEST_F(CliFit, LevenbergMarquardtOnlyHasNoSwarmKeys)
{
    const ProcessResult r = run({"fit", sample("fixed-points-in-cu.txt"), "--lm-only", "--json"});
    ASSERT_EQ(r.status, 0) << r.err;
    const JsonValue report = parseJson(r.out);
    EXPECT_TRUE(report.has("lm"));
    EXPECT_FALSE(report.has("pso"));
    EXPECT_FALSE(report.has("search_box"));
}

TEST_F(CliFit, FailedLevenbergMarquardtReportsItsMessage)
{
    // The three-point sample reaches the iteration limit of 50.
    for (const bool json : {false, true}) {
        std::vector<std::string> args{"fit", sample("minimal.txt")};
        if (json)
            args.push_back("--json");
        const ProcessResult r = run(args);
        EXPECT_EQ(r.status, 2) << "json " << json;
        EXPECT_EQ(r.err, LMNotConverged) << "json " << json;
        if (!json) {
            EXPECT_NE(r.out.find("Status = 3"), std::string::npos) << r.out;
            EXPECT_EQ(r.out.find("Particle Swarm"), std::string::npos) << r.out;
            continue;
        }
        const JsonValue report = parseJson(r.out);
        EXPECT_EQ(report["lm"]["status"].number(), 3.0);
        EXPECT_EQ(report["lm"]["iterations"].number(), 50.0);
        EXPECT_EQ(report["lm"]["message"].text(),
                  "Levenberg-Marquardt: Convergence was not achieved\rPlease check your data");
        EXPECT_FALSE(report.has("pso"));
    }
}

TEST_F(CliFit, FloatingPointFaultEndsTheRun)
{
    // Signals that do not rise with the temperature lead the fit to a logarithm of a
    // negative number.
    const ProcessResult r =
        run({"fit", writeFile("falling.txt", "0.65\n0.01\n3\n1e-9 1900\n500 2300\n13 450\n")});
    EXPECT_EQ(r.status, 4);
    EXPECT_EQ(r.err, "Invalid floating point operation\n");
    EXPECT_EQ(r.out, "");
}

long double extendedOf(const JsonValue &v)
{
    return std::strtold(v.text().c_str(), nullptr);
}

struct RangeCase
{
    bool threePoints;
    const char *range; // nullptr: the default
    long double factor;
};

TEST_F(CliFit, SearchRangeWidensTheBox)
{
    const std::string three = writeFile("three.txt", "1.6\n0.1\n3\n5.192162E+00  1234.93\n"
                                                "9.072690E+00  1337.33\n"
                                                "1.004142E+01  1357.77\n");
    const RangeCase cases[] = {
        {false, nullptr, 2.0L}, {true, nullptr, 1.5L}, {false, "1.5", 1.5L}, {true, "3", 3.0L},
        // Both limits of the range are ranges the fit takes.
        {false, "1", 1.0L}, {false, "1000", 1000.0L},
    };
    for (const RangeCase &c : cases) {
        const std::string record = c.threePoints ? three : sample("fixed-points-in-cu.txt");
        std::vector<std::string> args{"fit", record, "--restarts", "0", "--seed", "1", "--json"};
        if (c.range) {
            args.push_back("--range");
            args.push_back(c.range);
        }
        const ProcessResult r = run(args);
        const std::string what = std::string(c.threePoints ? "3" : "7") + " points, range "
                                 + (c.range ? c.range : "default");
        ASSERT_EQ(r.status, 0) << what << ": " << r.err;
        const JsonValue report = parseJson(r.out);
        const long double A = extendedOf(report["lm"]["A"]);
        const long double lo = extendedOf(report["search_box"]["lo"].array()[0]);
        const long double hi = extendedOf(report["search_box"]["hi"].array()[0]);
        EXPECT_NEAR(static_cast<double>(hi / A / c.factor), 1.0, 1e-15) << what;
        EXPECT_NEAR(static_cast<double>(lo * c.factor / A), 1.0, 1e-15) << what;
    }
}

TEST_F(CliFit, IterationLimitAndToleranceReachTheFit)
{
    const std::string record = sample("fixed-points-in-cu.txt");
    const ProcessResult limited = run({"fit", record, "--max-iter", "1", "--json"});
    EXPECT_EQ(limited.status, 2);
    EXPECT_EQ(parseJson(limited.out)["lm"]["iterations"].number(), 1.0);

    const ProcessResult strict = run({"fit", record, "--lm-only", "--json"});
    const ProcessResult loose = run({"fit", record, "--lm-only", "--tol", "1e-3", "--json"});
    ASSERT_EQ(strict.status, 0) << strict.err;
    ASSERT_EQ(loose.status, 0) << loose.err;
    EXPECT_LT(parseJson(loose.out)["lm"]["iterations"].number(),
              parseJson(strict.out)["lm"]["iterations"].number());
}

TEST_F(CliFit, TerminalShowsTheSwarmProgress)
{
    // `script` gives the program a terminal; its output is what the terminal received.
    const std::string command = kelvora::test::shellWords(
        {KELVORA_CLI, "fit", "--restarts", "1", "--seed", "1", sample("fixed-points-in-cu.txt")});
    const ProcessResult r =
        kelvora::test::runProgram("script", {"-qec", command, "/dev/null"}, dir());
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("\rPSO pass 1 of 2, "), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("best so far "), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("Particle Swarm Optimization"), std::string::npos) << r.out;
}

struct RefusedCase
{
    const char *name;
    std::string text;
    const char *message; // the start of stderr
    const char *locale = "C";
};

TEST_F(CliFit, RefusedRecordFiles)
{
    const std::vector<RefusedCase> cases{
        {"wavelength.txt", "1000.5\n0.01\n3\n1 1000\n2 1100\n3 1200\n",
         "Mean wavelength is out of range [0.1, 1000.0] "},
        // The bounds are written as an import into the database writes them.
        {"wavelength-comma.txt", "1000.5\n0.01\n3\n1 1000\n2 1100\n3 1200\n",
         "Mean wavelength is out of range [0,1, 1000,0] ", "de_DE.UTF-8"},
        {"bandwidth-comma.txt", "0.65\n0.56\n3\n1 1000\n2 1100\n3 1200\n",
         "Bandwidth is out of range [0, 0,5500] ", "de_DE.UTF-8"},
        {"count.txt", "0.65\n0.01\n21\n", "Number of reference blackbodies is out of range"},
        {"short.txt", "0.65\n0.01\n3\n", "Signals must be positive"},
        {"comma.txt", "0,65\n0.01\n3\n1 1000\n2 1100\n3 1200\n", "Error in reading file "},
        // A signal a double field cannot hold.
        {"huge.txt", "0.65\n0.01\n3\n1e400 1000\n2 1100\n3 1200\n",
         "Signal of point 1 is too large to be stored: 1E400 "},
        // Nor a u(T): stored as 0 it would take U away, subnormal make the Birge ratio infinite.
        {"uncertainty-zero.txt", "0.65\n0.01\n3\n1 1000 1e-4000\n2 1100\n3 1200\n",
         "Uncertainty of the temperature of point 1 is too small to be stored: 1E-4000 (the "
         "smallest is 2.2250738585072E-308)\n"},
        {"uncertainty-subnormal.txt", "0.65\n0.01\n3\n1 1000\n2 1100 1e-320 // mK\n3 1200\n",
         "Uncertainty of the temperature of point 2 is too small to be stored: 1E-320 (the "
         "smallest is 2,2250738585072E-308)\n", "de_DE.UTF-8"},
        // A line longer than the limit is named.
        {"long-line.txt", "0.65 " + std::string(70000, 'x') + "\n",
         "Error in reading file "},
    };
    for (const RefusedCase &c : cases) {
        const ProcessResult r = kelvora::test::runProgram(
            KELVORA_CLI, {"fit", writeFile(c.name, c.text)}, dir(),
            {std::string("LC_ALL=") + c.locale});
        EXPECT_EQ(r.status, 1) << c.name;
        EXPECT_EQ(r.err.rfind(c.message, 0), 0u) << c.name << ": " << r.err;
        EXPECT_EQ(r.out, "") << c.name;
    }
}

// What the fit reads as given, with what is not read said on standard error: a byte-order mark
// is passed by, and a point's line that goes on after the temperature with what looks like a
// number but is not a u(T) is named, and the fit goes on.
TEST_F(CliFit, SaysWhatItDoesNotReadAsAnUncertainty)
{
    const std::string record = writeFile(
        "record.txt", "\xEF\xBB\xBF" "0.65\n0.01\n3\n2.4E-3 1235.0 5 mK\n6.1E-3 1358.0 5\n"
                      "1.85E-2 1500.0 \xE2\x80\x8B" "5\n");
    const ProcessResult r = run({"fit", record, "--lm-only", "--max-iter", "1"});
    EXPECT_NE(r.out, "");
    EXPECT_EQ(r.err.rfind("Point 1: '5 mK' after the temperature is not read as u(T)\n"
                          "Point 3: '<U+200B>5' after the temperature is not read as u(T)\n"
                          "A u(T) in mK is a number written with a full stop, followed on its "
                          "line by nothing or by a // comment; anything else after the "
                          "temperature is a comment.\n",
                          0),
              0u)
        << r.err;
}

// A signal list holds signals that a double holds as they are, and --w a value that it holds.
TEST_F(CliFit, RefusesUnstorableSignalsAndOptions)
{
    const std::string record = sample("fixed-points-in-cu.txt");
    const std::string signals = writeFile("signals.txt", "2\n1e-3\n1e-4000\n");
    ProcessResult r = run({"fit", record, "--lm-only", "--signals", signals});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, inSystemLocale("Signal 2 is too small to be stored: 1E-4000 (the smallest "
                                    "is 2.2250738585072E-308)\n"));
    EXPECT_EQ(r.out, "");

    r = run({"fit", record, "--lm-only", "--signals", sample("Signals/furnace-run.txt"), "--w",
             "1e-320"});
    EXPECT_EQ(r.status, 64);
    EXPECT_EQ(r.err.rfind("kelvora-cli fit: --w is too small to be stored: 1E-320 (the smallest "
                          "is 2.2250738585072E-308)\n",
                          0),
              0u)
        << r.err;
}

// Reading stops at the first line longer than any valid one.
TEST_F(CliFit, AnEndlessFileIsRefusedAtOnce)
{
    const ProcessResult r = run({"fit", "/dev/zero"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "Error in reading file /dev/zero\nIts line 1 is longer than 64 KiB, the most "
                     "a line may hold\n");
    EXPECT_EQ(r.out, "");
}

TEST_F(CliFit, MissingFileCannotBeOpened)
{
    const ProcessResult r = run({"fit", writeFile("x.txt", "") + ".missing"});
    EXPECT_EQ(r.status, 3);
    EXPECT_NE(r.err, "");
    EXPECT_EQ(r.out, "");
}

TEST_F(CliFit, BadCommandLines)
{
    const std::string record = sample("minimal.txt");
    const std::vector<std::vector<std::string>> cases{
        {},
        {"frobnicate", record},
        {"fit"},
        {"fit", record, record},
        {"fit", record, "--frobnicate"},
        {"fit", record, "--max-iter"},
        {"fit", record, "--max-iter", "many"},
        {"fit", record, "--tol", "1e-9x"},
        {"fit", record, "--restarts", "2.5"},
        {"fit", record, "--range", "0.5"},
        {"fit", record, "--range", "1000.1"},
        {"fit", record, "--seed", "-1"},
        {"fit", record, "--seed", "4294967296"},
        {"fit", record, "--threads", "0"},
        {"fit", record, "--threads", "1025"},
        {"fit", record, "--threads", "two"},
        {"fit", record, "--json=yes"},
    };
    for (const auto &args : cases) {
        const ProcessResult r = run(args);
        std::string line;
        for (const auto &arg : args)
            line += " " + arg;
        EXPECT_EQ(r.status, 64) << line;
        EXPECT_NE(r.err.find("usage: kelvora-cli"), std::string::npos) << line << ": " << r.err;
        EXPECT_EQ(r.out, "") << line;
    }
}

// The copper record with u(T) of each point in mK, as the third number of its line.
const char *const CopperWithUncertainties =
    "1.6      // Mean wavelength (um)\n"
    "0.1      // Bandwidth (um)\n"
    "7        // Number of reference temperatures\n"
    "6.318016E-06  429.7485  5   // In\n"
    "1.415591E-04  505.078   5   // Sn\n"
    "1.741514E-02  692.677   10  // Zn\n"
    "4.941202E-01  933.473   15  // Al\n"
    "5.192162E+00  1234.93   20  // Ag\n"
    "9.072690E+00  1337.33   20  // Au\n"
    "1.004142E+01  1357.77   25\n";

const char *const FourSignals = "4\n1.613686E-05\n0.9378512\n12.26632\n40\n";

struct SignalsCase
{
    const char *name;
    bool uncertainties;                 // the record file gives u(T)
    std::vector<const char *> present;  // keys with a value at every signal
    std::vector<const char *> null;     // keys that are null at every signal
    std::vector<const char *> absent;   // keys not there
};

void PrintTo(const SignalsCase &c, std::ostream *out)
{
    *out << c.name;
}

class CliFitSignals : public CliFit, public ::testing::WithParamInterface<SignalsCase>
{
};

// Every signal of the list with its temperature and uncertainties at the Levenberg-Marquardt
// triple; a value the record cannot give is null, and the check by Monte Carlo needs u(T).
TEST_P(CliFitSignals, GiveEachSignalItsUncertainties)
{
    const SignalsCase &c = GetParam();
    const std::string record =
        c.uncertainties ? writeFile("cu-u.txt", CopperWithUncertainties)
                        : sample("fixed-points-in-cu.txt");
    const ProcessResult r = run({"fit", record, "--lm-only", "--json", "--signals",
                                 writeFile("signals.txt", FourSignals), "--mc", "400",
                                 "--seed", "4"});
    ASSERT_EQ(r.status, 0) << r.err;
    const JsonValue report = parseJson(r.out);
    const JsonValue::Array &list = report["interpolated"].array();
    ASSERT_EQ(list.size(), 4u);
    EXPECT_EQ(list[0]["S"].text(), "1.61368599999999999999e-05");
    for (const JsonValue &item : list) {
        for (const char *key : c.present)
            expectExtended(item[key], key);
        for (const char *key : c.null)
            EXPECT_TRUE(std::holds_alternative<std::nullptr_t>(item[key].value)) << key;
        for (const char *key : c.absent)
            EXPECT_FALSE(item.has(key)) << key;
    }
    const double T = std::stod(list[1]["T"].text());
    EXPECT_NEAR(T, 1000.0, 0.01);
    if (c.uncertainties) {
        expectExtended(report["birge_ratio"], "birge_ratio");
        EXPECT_EQ(report["mc_trials"].number(), 400.0);
        EXPECT_EQ(report["mc_failed"].number(), 0.0);
        // U = 2·u_c; the Monte Carlo interval lies about T; beyond the range U grows.
        for (const JsonValue &item : list) {
            EXPECT_DOUBLE_EQ(std::stod(item["U"].text()), 2 * std::stod(item["u_c"].text()));
            EXPECT_LT(std::stod(item["mc_low"].text()), std::stod(item["T"].text()));
            EXPECT_GT(std::stod(item["mc_high"].text()), std::stod(item["T"].text()));
        }
        EXPECT_GT(std::stod(list[3]["U"].text()), 2 * std::stod(list[2]["U"].text()));
        EXPECT_EQ(r.err, "");
    } else {
        EXPECT_TRUE(std::holds_alternative<std::nullptr_t>(report["birge_ratio"].value));
        EXPECT_EQ(r.err, "The Monte Carlo check needs u(T) of every reference point\n");
    }
}

INSTANTIATE_TEST_SUITE_P(
    Records, CliFitSignals,
    ::testing::Values(SignalsCase{"WithPointUncertainties",
                                  true,
                                  {"T", "u_ref", "u_sig", "u_c", "U", "u_fit", "u_mc",
                                   "mc_low", "mc_high"},
                                  {},
                                  {}},
                      SignalsCase{"WithoutThem",
                                  false,
                                  {"T", "u_sig", "u_fit"},
                                  {"u_ref", "u_c", "U"},
                                  {"u_mc", "mc_low", "mc_high"}}),
    [](const auto &info) { return std::string(info.param.name); });

// The check's trials fall to the threads in seeded blocks: the numbers do not depend on
// their count, and the text report shows them.
TEST_F(CliFit, MonteCarloGivesTheSameNumbersOnOneOrTwoThreads)
{
    const std::string record = writeFile("cu-u.txt", CopperWithUncertainties);
    const std::string signals = writeFile("signals.txt", FourSignals);
    const auto fit = [&](const char *threads) {
        return run({"fit", record, "--lm-only", "--signals", signals, "--mc", "300",
                    "--seed", "11", "--threads", threads});
    };
    const ProcessResult one = fit("1");
    ASSERT_EQ(one.status, 0) << one.err;
    for (const char *part : {"Uncertainties (mK; U with k = 2)", "u_mc",
                             "Monte Carlo: 300 trials, 0 failed to fit", "Birge ratio R_B = "})
        EXPECT_NE(one.out.find(part), std::string::npos) << part << "\n" << one.out;
    EXPECT_EQ(fit("2").out, one.out);
}

// u_sig is proportional to w and adds to u_ref in U.
TEST_F(CliFit, RelativeUncertaintyOfTheSignalsGoesIntoU)
{
    const std::string record = writeFile("cu-u.txt", CopperWithUncertainties);
    const std::string signals = writeFile("signals.txt", FourSignals);
    const auto fit = [&](const char *w) {
        const ProcessResult r = run({"fit", record, "--lm-only", "--json", "--signals", signals,
                                     "--w", w});
        EXPECT_EQ(r.status, 0) << r.err;
        return parseJson(r.out);
    };
    const JsonValue none = fit("0");
    const JsonValue some = fit("1e-3");
    const JsonValue twice = fit("2e-3");
    for (std::size_t i = 0; i < 4; ++i) {
        const auto value = [i](const JsonValue &report, const char *key) {
            return std::stod(report["interpolated"].array()[i][key].text());
        };
        EXPECT_EQ(value(none, "u_sig"), 0.0);
        EXPECT_GT(value(some, "u_sig"), 0.0);
        EXPECT_NEAR(value(twice, "u_sig"), 2 * value(some, "u_sig"), 1e-12 * value(some, "u_sig"));
        EXPECT_EQ(value(some, "u_ref"), value(none, "u_ref"));
        EXPECT_GT(value(some, "U"), value(none, "U"));
    }
}

TEST_F(CliFit, MonteCarloNeedsASignalListAndItsRange)
{
    const ProcessResult without = run({"fit", sample("minimal.txt"), "--mc", "100"});
    EXPECT_EQ(without.status, 64);
    EXPECT_EQ(without.err.substr(0, without.err.find('\n')),
              "kelvora-cli fit: --mc needs --signals");
    const std::string signals = writeFile("signals.txt", FourSignals);
    for (const char *trials : {"1", "1000001", "10x"}) {
        const ProcessResult r =
            run({"fit", sample("minimal.txt"), "--signals", signals, "--mc", trials});
        EXPECT_EQ(r.status, 64) << trials;
        EXPECT_EQ(r.err.substr(0, r.err.find('\n')),
                  std::string("kelvora-cli fit: --mc: '") + trials
                      + "' is not a whole number from 2 to 1000000");
    }
    const ProcessResult missing =
        run({"fit", sample("minimal.txt"), "--signals", pathOf("none.txt")});
    EXPECT_EQ(missing.status, 3);
    EXPECT_EQ(missing.out, "") << "no fit without its signal list";

    const ProcessResult wWithout = run({"fit", sample("minimal.txt"), "--w", "0.01"});
    EXPECT_EQ(wWithout.status, 64);
    EXPECT_EQ(wWithout.err.substr(0, wWithout.err.find('\n')),
              "kelvora-cli fit: --w needs --signals");
    for (const char *w : {"1", "-0.001", "0.1x"}) {
        const ProcessResult r =
            run({"fit", sample("minimal.txt"), "--signals", signals, "--w", w});
        EXPECT_EQ(r.status, 64) << w;
        EXPECT_EQ(r.err.substr(0, r.err.find('\n')),
                  std::string("kelvora-cli fit: --w: '") + w
                      + "' is not a number from 0 to below 1");
    }
}

// Every numeric option has its valid range, and its value is the number alone: trailing
// characters, blanks and values outside the range are a usage error naming both.
struct OptionCase
{
    const char *option;
    const char *value;
    const char *range; // the end of the message
};

void PrintTo(const OptionCase &c, std::ostream *out)
{
    *out << c.option << " '" << c.value << "'";
}

class CliFitOption : public CliFit, public ::testing::WithParamInterface<OptionCase>
{
};

TEST_P(CliFitOption, OutsideItsRangeIsAUsageError)
{
    const OptionCase &c = GetParam();
    const ProcessResult r = run({"fit", sample("minimal.txt"), "--lm-only", c.option, c.value});
    EXPECT_EQ(r.status, 64);
    EXPECT_EQ(r.err.substr(0, r.err.find('\n')),
              std::string("kelvora-cli fit: ") + c.option + ": '" + c.value + "' is not "
                  + c.range);
    EXPECT_EQ(r.out, "");
}

INSTANTIATE_TEST_SUITE_P(
    Values, CliFitOption,
    ::testing::Values(
        OptionCase{"--seed", "12abc", "a whole number from 0 to 4294967295"},
        OptionCase{"--seed", " 12", "a whole number from 0 to 4294967295"},
        OptionCase{"--max-iter", "5x", "a whole number from 1 to 1000000"},
        OptionCase{"--max-iter", "0", "a whole number from 1 to 1000000"},
        OptionCase{"--max-iter", "-50", "a whole number from 1 to 1000000"},
        OptionCase{"--max-iter", "1000001", "a whole number from 1 to 1000000"},
        OptionCase{"--tol", "1e-9q", "a number above 0 and below 1"},
        OptionCase{"--tol", "0", "a number above 0 and below 1"},
        OptionCase{"--tol", "-1e-9", "a number above 0 and below 1"},
        OptionCase{"--tol", "1", "a number above 0 and below 1"},
        OptionCase{"--tol", "1e-5000", "a number above 0 and below 1"},
        OptionCase{"--restarts", "-1", "a whole number from 0 to 1000000"},
        OptionCase{"--restarts", "3 ", "a whole number from 0 to 1000000"},
        OptionCase{"--restarts", "3r", "a whole number from 0 to 1000000"},
        OptionCase{"--restarts", "99999999999", "a whole number from 0 to 1000000"},
        OptionCase{"--range", "2x", "a number from 1.0 to 1000.0"},
        OptionCase{"--range", "0.99", "a number from 1.0 to 1000.0"},
        OptionCase{"--threads", "2 ", "a whole number from 1 to 1024"},
        OptionCase{"--threads", "2x", "a whole number from 1 to 1024"},
        OptionCase{"--threads", "\t2", "a whole number from 1 to 1024"},
        OptionCase{"--threads", "0", "a whole number from 1 to 1024"}),
    [](const auto &info) { return "Case" + std::to_string(info.index); });

// What fit writes must reach standard output: a full device is a failure with the system's
// text, not a success with the results lost.
TEST_F(CliFit, OutputThatCannotBeWrittenIsAFailure)
{
    for (const std::vector<std::string> &args :
         {std::vector<std::string>{"fit", sample("fixed-points-in-cu.txt"), "--lm-only"},
          {"fit", sample("fixed-points-in-cu.txt"), "--lm-only", "--json"},
          {"fit", "--help"},
          {"--help"}}) {
        std::vector<std::string> command{"-c", "exec \"$0\" \"$@\" >/dev/full", KELVORA_CLI};
        command.insert(command.end(), args.begin(), args.end());
        const ProcessResult r = kelvora::test::runProgram("sh", command, dir());
        EXPECT_EQ(r.status, 5) << args.back();
        EXPECT_EQ(r.err, "Error in writing to standard output: No space left on device\n");
    }
}

// Signals a double cannot hold as they are, and an initial guess too large to be stored, are
// refused naming the value, as the import refuses them.
struct UnstorableCase
{
    const char *name;
    const char *signal;
    // "%v" stands for a value computed from the points, "." for the decimal separator
    const char *message;
};

class CliFitUnstorable : public CliFit, public ::testing::WithParamInterface<UnstorableCase>
{
};

TEST_P(CliFitUnstorable, IsRefusedNamingTheValue)
{
    const std::string record = writeFile(
        "record.txt", std::string("0.65\n0.01\n3\n6.1E-3 1358.0\n") + GetParam().signal
                          + " 1235.0\n1.85E-2 1500.0\n");
    const ProcessResult r = run({"fit", record, "--lm-only"});
    EXPECT_EQ(r.status, 1);
    const std::string message = inSystemLocale(GetParam().message) + "\n";
    const std::size_t value = message.find("%v");
    if (value == std::string::npos) {
        EXPECT_EQ(r.err, message);
    } else {
        const std::string after = message.substr(value + 2);
        EXPECT_EQ(r.err.substr(0, value), message.substr(0, value)) << r.err;
        ASSERT_GE(r.err.size(), after.size());
        EXPECT_EQ(r.err.substr(r.err.size() - after.size()), after) << r.err;
    }
    EXPECT_EQ(r.out, "");
}

INSTANTIATE_TEST_SUITE_P(
    Signals, CliFitUnstorable,
    ::testing::Values(
        UnstorableCase{"BecomesZero", "1e-4000",
                       "Signal of point 2 is too small to be stored: 1E-4000 (the smallest is "
                       "2.2250738585072E-308)"},
        UnstorableCase{"LosesItsPrecision", "1e-310",
                       "Signal of point 2 is too small to be stored: 1E-310 (the smallest is "
                       "2.2250738585072E-308)"},
        UnstorableCase{"Overflows", "1e309",
                       "Signal of point 2 is too large to be stored: 1E309 (the largest is "
                       "1.79769313486232E308)"},
        UnstorableCase{"GuessOverflows", "1e305",
                       "The Saunders-White guess C = %v of these reference points is too "
                       "large to be stored"}),
    [](const auto &info) { return std::string(info.param.name); });

} // namespace
