#include "textio/textfile.h"

#include <cerrno>
#include <cstdio>

namespace kelvora {

namespace {

std::string readErrorText(const std::string &path)
{
    return "Error in reading file " + path;
}

constexpr char ByteOrderMark[] = "\xEF\xBB\xBF";
constexpr std::size_t ByteOrderMarkLength = sizeof ByteOrderMark - 1;

} // namespace

InputTextFile::InputTextFile(const std::string &path, const std::string &openFailureText)
    : m_path(path), m_file(std::fopen(path.c_str(), "rb"))
{
    if (!m_file) {
        const int reason = errno;
        throw RecordFileError(RecordFileError::Kind::Open,
                              !openFailureText.empty()
                                  ? openFailureText
                                  : "Cannot open file " + path + ". " + systemErrorText(reason));
    }
    m_buffer.resize(64 * 1024);
}

InputTextFile::~InputTextFile()
{
    std::fclose(m_file);
}

void InputTextFile::readError() const
{
    throw RecordFileError(RecordFileError::Kind::Read, readErrorText(m_path));
}

int InputTextFile::peek()
{
    if (m_pos == m_end) {
        m_pos = 0;
        m_end = std::fread(m_buffer.data(), 1, m_buffer.size(), m_file);
        if (m_end == 0) {
            if (std::ferror(m_file))
                readError();
            return -1;
        }
        if (!m_started) {
            m_started = true;
            if (m_end >= ByteOrderMarkLength
                && std::string(m_buffer.data(), ByteOrderMarkLength) == ByteOrderMark)
                m_pos = ByteOrderMarkLength;
            return peek();
        }
    }
    return static_cast<unsigned char>(m_buffer[m_pos]);
}

int InputTextFile::get()
{
    const int c = peek();
    if (c < 0)
        return c;
    ++m_pos;
    m_lineLength = c == '\n' ? 0 : m_lineLength + 1;
    if (c == '\n')
        ++m_line;
    if (m_lineLength > MaxLineLength)
        throw RecordFileError(RecordFileError::Kind::Read,
                              readErrorText(m_path) + "\rIts line " + std::to_string(m_line)
                                  + " is longer than " + std::to_string(MaxLineLength >> 10)
                                  + " KiB, the most a line may hold");
    if (++m_read > MaxReadLength)
        throw RecordFileError(RecordFileError::Kind::Read,
                              readErrorText(m_path) + "\rIts numbers do not end within its first "
                                  + std::to_string(MaxReadLength >> 20)
                                  + " MiB, more than any record file or signal list holds");
    return c;
}

} // namespace kelvora
