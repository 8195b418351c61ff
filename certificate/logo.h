#pragma once

#include "core/errors.h"

#include <QImage>
#include <QSize>

#include <cstddef>
#include <string>

namespace kelvora {

// The laboratory's logo, which every certificate carries: a picture file of at most
// MaxLogoBytes and MaxLogoSide pixels either way.
inline constexpr std::size_t MaxLogoBytes = 2 * 1024 * 1024;
inline constexpr int MaxLogoSide = 4000;

// A logo file that cannot be read (Open) or that is no logo (Refused); what() says why and
// names the file.
class LogoFileError : public Error
{
public:
    enum class Kind { Open, Refused };

    LogoFileError(Kind kind, const std::string &message) : Error(message), m_kind(kind) {}
    Kind kind() const { return m_kind; }

private:
    Kind m_kind;
};

// Why these bytes cannot be the logo: more than MaxLogoBytes, no picture this program reads,
// or more than MaxLogoSide pixels either way (as the picture's header gives them, before it
// is decoded); empty when they can.
std::string logoRefusal(const std::string &bytes);

// The bytes of the logo file at `path` (a symbolic link is followed). Refused with
// "<logoRefusal>: <path>", or when a folder, named pipe, device or socket is there, before
// anything of it is read and without opening a named pipe or a device; a file larger than
// MaxLogoBytes is refused before it is read. A file that cannot be opened or read gives kind
// Open: "Cannot open file <path>. <the system's reason>".
std::string readLogoFile(const std::string &path);

// The logo as it is printed: on white, as PDF/A-1b has no transparency, and at most
// `mostPixels` (keeping its proportions), so that the picture a certificate carries stays small
// whatever the file's size. A null image when the bytes are no picture.
QImage printedLogo(const std::string &bytes, QSize mostPixels);

} // namespace kelvora
