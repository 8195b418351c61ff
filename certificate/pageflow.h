#pragma once

#include <QColor>
#include <QFont>
#include <QRectF>
#include <QString>
#include <QStringList>

#include <functional>

class QPagedPaintDevice;
class QPainter;

namespace kelvora {

// The faces of a certificate, sized for the device they are measured and painted on.
struct CertificateFonts
{
    QFont body;
    QFont bold;
    QFont small;
    QFont heading;
    QFont name;  // the laboratory's
    QFont title;
};

// Lays content out from the top of a page down and starts a new page where the next piece
// does not fit. A document is laid out twice with the same calls: first without a painter, to
// count its pages, then with one, to paint them knowing the count. Lengths are in the
// device's units; pt() converts from points.
class PageFlow
{
public:
    // Called when a page is complete, with its number (from 1) and the page count (0 while
    // counting): paints what every page carries beside the flow.
    using PageDecoration = std::function<void(PageFlow &flow, int page, int pages)>;

    PageFlow(QPagedPaintDevice &device, QPainter *painter, int pages,
             PageDecoration decoration);

    // Null while counting.
    QPainter *painter() const { return m_painter; }
    const CertificateFonts &fonts() const { return m_fonts; }
    double pt(double points) const { return points * m_unitsPerPoint; }

    // The part of the page the flow fills.
    QRectF content() const { return m_content; }
    double y() const { return m_y; }
    double remaining() const { return m_content.bottom() - m_y; }

    // Moves down by `height`; the caller has made sure it fits (or that nothing does).
    void advance(double height);
    // Starts a new page unless `height` fits below the cursor or nothing has been laid out on
    // the page yet.
    void keepTogether(double height);
    void newPage();
    // Completes the last page; returns the page count.
    int finish();

    // Text wrapped to `width` at word boundaries (anywhere inside a word wider than the
    // line), one entry per line; "\n" breaks a line.
    QStringList wrap(const QString &text, const QFont &font, double width) const;
    double lineHeight(const QFont &font) const;
    double textWidth(const QString &text, const QFont &font) const;
    // Paints a line of text with its top at y, aligned in left..left + width.
    void drawLine(const QString &text, const QFont &font, double left, double width, double y,
                  Qt::Alignment alignment = Qt::AlignLeft,
                  const QColor &colour = Qt::black) const;

private:
    QPagedPaintDevice &m_device;
    QPainter *m_painter;
    int m_pages;
    PageDecoration m_decoration;
    CertificateFonts m_fonts;
    double m_unitsPerPoint;
    QRectF m_content;
    double m_y = 0;
    int m_pageNumber = 1;
    bool m_pageEmpty = true;
};

} // namespace kelvora
