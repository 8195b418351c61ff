#include "certificate/pageflow.h"

#include <QFontMetricsF>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QTextLayout>
#include <QTextOption>

namespace kelvora {

namespace {

constexpr double PointsPerMillimetre = 72.0 / 25.4;

// The margins of the flow, in millimetres; the page number sits in the bottom one.
constexpr double MarginLeft = 20;
constexpr double MarginRight = 20;
constexpr double MarginTop = 18;
constexpr double MarginBottom = 24;

// DejaVu Sans is on every system the program runs on; it is embedded in the document, so
// that the certificate looks the same wherever it is read.
QFont face(double points, bool bold = false)
{
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setStyleHint(QFont::SansSerif);
    font.setHintingPreference(QFont::PreferNoHinting);
    // No ligatures: a reader searching the document for "fi" finds it.
    font.setStyleStrategy(QFont::PreferNoShaping);
    font.setPointSizeF(points);
    font.setBold(bold);
    return font;
}

QString rightTrimmed(QString text)
{
    while (!text.isEmpty() && text.back().isSpace())
        text.chop(1);
    return text;
}

} // namespace

PageFlow::PageFlow(QPagedPaintDevice &device, QPainter *painter, int pages,
                   PageDecoration decoration)
    : m_device(device), m_painter(painter), m_pages(pages), m_decoration(std::move(decoration))
{
    m_fonts = {face(9), face(9, true), face(7.5), face(11, true), face(13, true),
               face(18, true)};
    m_unitsPerPoint = device.logicalDpiY() / 72.0;
    const QRectF page(0, 0, device.width(), device.height());
    const double mm = pt(PointsPerMillimetre);
    m_content = page.adjusted(MarginLeft * mm, MarginTop * mm, -MarginRight * mm,
                                -MarginBottom * mm);
    m_y = m_content.top();
}

void PageFlow::advance(double height)
{
    m_y += height;
    m_pageEmpty = false;
}

void PageFlow::keepTogether(double height)
{
    if (!m_pageEmpty && height > remaining())
        newPage();
}

void PageFlow::newPage()
{
    if (m_decoration)
        m_decoration(*this, m_pageNumber, m_pages);
    if (m_painter != nullptr)
        m_device.newPage();
    ++m_pageNumber;
    m_y = m_content.top();
    m_pageEmpty = true;
}

int PageFlow::finish()
{
    if (m_decoration)
        m_decoration(*this, m_pageNumber, m_pages);
    return m_pageNumber;
}

QStringList PageFlow::wrap(const QString &text, const QFont &font, double width) const
{
    QStringList lines;
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    for (const QString &paragraph : text.split(QLatin1Char('\n'))) {
        if (paragraph.trimmed().isEmpty()) {
            lines << QString();
            continue;
        }
        QTextLayout layout(paragraph, font, &m_device);
        layout.setTextOption(option);
        layout.beginLayout();
        for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
            line.setLineWidth(width);
            lines << rightTrimmed(paragraph.mid(line.textStart(), line.textLength()));
        }
        layout.endLayout();
    }
    return lines;
}

double PageFlow::lineHeight(const QFont &font) const
{
    return QFontMetricsF(font, &m_device).lineSpacing();
}

double PageFlow::textWidth(const QString &text, const QFont &font) const
{
    return QFontMetricsF(font, &m_device).horizontalAdvance(text);
}

void PageFlow::drawLine(const QString &text, const QFont &font, double left, double width,
                        double y, Qt::Alignment alignment, const QColor &colour) const
{
    if (m_painter == nullptr || text.isEmpty())
        return;
    double x = left;
    if (alignment & Qt::AlignRight)
        x = left + width - textWidth(text, font);
    else if (alignment & Qt::AlignHCenter)
        x = left + (width - textWidth(text, font)) / 2;
    m_painter->setFont(font);
    m_painter->setPen(colour);
    m_painter->drawText(QPointF(x, y + QFontMetricsF(font, &m_device).ascent()), text);
}

} // namespace kelvora
