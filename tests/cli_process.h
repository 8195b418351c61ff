#pragma once

#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace kelvora::testing {

// What one run of the command-line program gave.
struct ProcessResult
{
    int status = -1; // the exit status, -1 when the program did not exit normally
    std::string out;
    std::string err;
};

inline std::string shellQuoted(const std::string &arg)
{
    std::string quoted = "'";
    for (const char c : arg)
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

inline std::string readWholeFile(const std::filesystem::path &path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// Runs `program` with the arguments and the environment settings ("NAME=value") through the
// shell; standard output and error go through files in `scratch`.
inline ProcessResult runProgram(const std::string &program, const std::vector<std::string> &args,
                                const std::filesystem::path &scratch,
                                const std::vector<std::string> &environment = {})
{
    std::string command = "env";
    const auto add = [&command](const std::string &word) {
        command += ' ';
        command += shellQuoted(word);
    };
    for (const std::string &setting : environment)
        add(setting);
    add(program);
    for (const std::string &arg : args)
        add(arg);
    const std::filesystem::path out = scratch / "stdout.txt";
    const std::filesystem::path err = scratch / "stderr.txt";
    command += " >";
    command += shellQuoted(out.string());
    command += " 2>";
    command += shellQuoted(err.string());
    const int raw = std::system(command.c_str());
    ProcessResult result;
    result.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    result.out = readWholeFile(out);
    result.err = readWholeFile(err);
    std::filesystem::remove(out);
    std::filesystem::remove(err);
    return result;
}

} // namespace kelvora::testing
