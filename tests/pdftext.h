#pragma once

// What poppler's tools (pdftotext, pdfinfo, pdffonts, pdfimages) read from a PDF file: the
// tests read documents back as a reader's program does.

#include "cli_process.h"

#include <cstdio>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

namespace kelvora::test {

// Standard output of the command; its errors are dropped.
inline std::string toolOutput(const std::vector<std::string> &words)
{
    std::string output;
    FILE *pipe = ::popen((shellWords(words) + " 2>/dev/null").c_str(), "r");
    if (pipe == nullptr)
        return output;
    char buffer[4096];
    for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;)
        output.append(buffer, n);
    ::pclose(pipe);
    return output;
}

// The text of one page (from 1), or of all pages when `page` is 0, with the layout of its
// lines kept.
inline std::string pdfText(const std::string &path, int page = 0)
{
    std::vector<std::string> words{"pdftotext", "-layout", "-enc", "UTF-8"};
    if (page > 0) {
        for (const char *option : {"-f", "-l"}) {
            words.push_back(option);
            words.push_back(std::to_string(page));
        }
    }
    words.push_back(path);
    words.push_back("-");
    return toolOutput(words);
}

inline std::vector<std::string> linesOf(const std::string &text)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

// The words of `text` one space apart, so that a phrase is found wherever its lines break.
inline std::string flowingText(const std::string &text)
{
    std::istringstream in(text);
    std::string flowing;
    for (std::string word; in >> word;)
        flowing += (flowing.empty() ? "" : " ") + word;
    return flowing;
}

// A line of `pdfinfo` ("Pages", "Page size", ...) without its label.
inline std::string pdfInfo(const std::string &path, const std::string &label)
{
    for (const std::string &line : linesOf(toolOutput({"pdfinfo", path}))) {
        if (line.rfind(label + ":", 0) == 0) {
            const std::size_t value = line.find_first_not_of(' ', label.size() + 1);
            return value == std::string::npos ? std::string() : line.substr(value);
        }
    }
    return {};
}

inline int pdfPageCount(const std::string &path)
{
    const std::string pages = pdfInfo(path, "Pages");
    return pages.empty() ? 0 : std::stoi(pages);
}

// A word with its box, in points from the page's top left corner.
struct PdfWord
{
    double xMin = 0, yMin = 0, xMax = 0, yMax = 0;
    std::string text;
};

struct PdfPage
{
    double width = 0, height = 0;
    std::vector<PdfWord> words;
};

// Every page with the boxes of its words (pdftotext -bbox).
inline std::vector<PdfPage> pdfWords(const std::string &path)
{
    const std::string html = toolOutput({"pdftotext", "-bbox", "-enc", "UTF-8", path, "-"});
    static const std::regex pageTag(R"re(<page width="([0-9.]+)" height="([0-9.]+)">)re");
    static const std::regex wordTag(R"re(<word xMin="([0-9.-]+)" yMin="([0-9.-]+)" )re"
                                    R"re(xMax="([0-9.-]+)" yMax="([0-9.-]+)">([^<]*)</word>)re");
    std::vector<PdfPage> pages;
    for (const std::string &line : linesOf(html)) {
        std::smatch m;
        if (std::regex_search(line, m, pageTag)) {
            pages.push_back({std::stod(m[1]), std::stod(m[2]), {}});
        } else if (std::regex_search(line, m, wordTag) && !pages.empty()) {
            pages.back().words.push_back(
                {std::stod(m[1]), std::stod(m[2]), std::stod(m[3]), std::stod(m[4]), m[5]});
        }
    }
    return pages;
}

} // namespace kelvora::test
