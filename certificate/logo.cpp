#include "certificate/logo.h"

#include "records/regularfile.h"

#include <QBuffer>
#include <QByteArray>
#include <QImageReader>
#include <QPainter>

#include <cerrno>
#include <cstdint>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kelvora {

namespace {

// A reader of the picture in the bytes, which stay where they are.
class PictureReader
{
public:
    explicit PictureReader(const std::string &bytes)
        : m_data(QByteArray::fromRawData(bytes.data(), static_cast<qsizetype>(bytes.size()))),
          m_buffer(&m_data)
    {
        m_buffer.open(QIODevice::ReadOnly);
        m_reader.setDevice(&m_buffer);
    }

    QImageReader &reader() { return m_reader; }

private:
    QByteArray m_data;
    QBuffer m_buffer;
    QImageReader m_reader;
};

std::string tooLargeText()
{
    return "The logo's file is larger than " + std::to_string(MaxLogoBytes >> 20) + " MB";
}

bool tooManyPixels(QSize size)
{
    return size.width() > MaxLogoSide || size.height() > MaxLogoSide;
}

// A file opened for reading, closed with it.
class OpenFile
{
public:
    explicit OpenFile(const std::string &path)
        : m_fd(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC))
    {
    }
    ~OpenFile()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    OpenFile(const OpenFile &) = delete;
    OpenFile &operator=(const OpenFile &) = delete;

    int fd() const { return m_fd; }

private:
    int m_fd;
};

} // namespace

std::string logoRefusal(const std::string &bytes)
{
    if (bytes.size() > MaxLogoBytes)
        return tooLargeText();
    const std::string pixels = "The logo's picture is larger than " + std::to_string(MaxLogoSide)
                               + " x " + std::to_string(MaxLogoSide) + " pixels";
    PictureReader picture(bytes);
    if (tooManyPixels(picture.reader().size()))
        return pixels;
    const QImage image = picture.reader().read();
    if (image.isNull())
        return "The logo's file holds no picture that this program reads";
    // A format whose header does not give the size.
    if (tooManyPixels(image.size()))
        return pixels;
    return {};
}

std::string readLogoFile(const std::string &path)
{
    const auto cannotOpen = [&path](int error) {
        return LogoFileError(LogoFileError::Kind::Open,
                             "Cannot open file " + path + ". " + systemErrorText(error));
    };
    // Looked at before it is opened, and what was opened once more: the path may have come
    // to lead elsewhere meanwhile.
    const auto check = [&path](const struct stat &status) {
        if (const std::string text = notRegularFileText(path, status.st_mode); !text.empty())
            throw LogoFileError(LogoFileError::Kind::Refused,
                                "The logo must be a picture file: " + text);
        if (static_cast<std::uintmax_t>(status.st_size) > MaxLogoBytes)
            throw LogoFileError(LogoFileError::Kind::Refused, tooLargeText() + ": " + path);
    };
    struct stat status{};
    if (::stat(path.c_str(), &status) != 0)
        throw cannotOpen(errno);
    check(status);
    const OpenFile file(path);
    if (file.fd() < 0 || ::fstat(file.fd(), &status) != 0)
        throw cannotOpen(errno);
    check(status);

    // One byte more than a logo may have shows a file that grew meanwhile.
    std::string bytes(MaxLogoBytes + 1, '\0');
    std::size_t size = 0;
    while (size < bytes.size()) {
        const ssize_t n = ::read(file.fd(), bytes.data() + size, bytes.size() - size);
        if (n == 0)
            break;
        if (n > 0)
            size += static_cast<std::size_t>(n);
        else if (errno != EINTR)
            throw cannotOpen(errno);
    }
    bytes.resize(size);
    if (const std::string refusal = logoRefusal(bytes); !refusal.empty())
        throw LogoFileError(LogoFileError::Kind::Refused, refusal + ": " + path);
    return bytes;
}

QImage printedLogo(const std::string &bytes, QSize mostPixels)
{
    if (bytes.empty())
        return {};
    PictureReader picture(bytes);
    QImage image = picture.reader().read();
    if (image.isNull())
        return {};
    if (image.width() > mostPixels.width() || image.height() > mostPixels.height()) {
        // A long thin picture keeps a pixel across.
        const QSize size =
            image.size().scaled(mostPixels, Qt::KeepAspectRatio).expandedTo(QSize(1, 1));
        image = image.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    }
    QImage flat(image.size(), QImage::Format_RGB32);
    flat.fill(Qt::white);
    QPainter painter(&flat);
    painter.drawImage(0, 0, image);
    return flat;
}

} // namespace kelvora
