#pragma once

#include "tempdir.h"

#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace kelvora::test {

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

// The words as one shell command line, each quoted.
inline std::string shellWords(const std::vector<std::string> &words)
{
    std::string line;
    for (const std::string &word : words) {
        if (!line.empty())
            line += ' ';
        line += shellQuoted(word);
    }
    return line;
}

// Runs `program` with the arguments and the environment settings ("NAME=value") through the
// shell; standard output and error go through files in `scratch`.
inline ProcessResult runProgram(const std::string &program, const std::vector<std::string> &args,
                                const std::filesystem::path &scratch,
                                const std::vector<std::string> &environment = {})
{
    std::vector<std::string> words{"env"};
    words.insert(words.end(), environment.begin(), environment.end());
    words.push_back(program);
    words.insert(words.end(), args.begin(), args.end());
    const std::filesystem::path out = scratch / "stdout.txt";
    const std::filesystem::path err = scratch / "stderr.txt";
    const std::string command =
        shellWords(words) + " >" + shellQuoted(out.string()) + " 2>" + shellQuoted(err.string());
    const int raw = std::system(command.c_str());
    ProcessResult result;
    result.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    result.out = readWholeFile(out);
    result.err = readWholeFile(err);
    std::filesystem::remove(out);
    std::filesystem::remove(err);
    return result;
}

} // namespace kelvora::test
