#pragma once

#include <memory>

class QGuiApplication;

namespace kelvora::cli {

// Qt's GUI library on the offscreen platform, for the commands that paint a document or read
// an image: no display is needed. Exists for the lifetime of the object.
class OffscreenGui
{
public:
    OffscreenGui();
    ~OffscreenGui();
    OffscreenGui(const OffscreenGui &) = delete;
    OffscreenGui &operator=(const OffscreenGui &) = delete;

private:
    // The application keeps a reference to its arguments.
    int m_argumentCount = 1;
    char m_programName[12] = "kelvora-cli";
    char *m_arguments[2] = {m_programName, nullptr};
    std::unique_ptr<QGuiApplication> m_application;
};

} // namespace kelvora::cli
