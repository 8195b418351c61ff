#include "cli/offscreengui.h"

#include <QGuiApplication>

namespace kelvora::cli {

OffscreenGui::OffscreenGui()
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    m_application = std::make_unique<QGuiApplication>(m_argumentCount, m_arguments);
}

OffscreenGui::~OffscreenGui() = default;

} // namespace kelvora::cli
