#include "ui/appearance.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPixmap>

#include <cmath>

namespace kelvora {

QFont KelvoraFont()
{
    QFont font(QStringLiteral("Tahoma"), 8);
    font.setStyleHint(QFont::SansSerif);
    // Where Tahoma is missing, a face of similar width keeps the layout close to its design.
    // DejaVu Sans, the face of a fresh system, comes before the system's sans-serif, which
    // a system without rules for it may take from any face at all.
    font.setFamilies({QStringLiteral("Tahoma"), QStringLiteral("Liberation Sans"),
                      QStringLiteral("Arial"), QStringLiteral("Nimbus Sans"),
                      QStringLiteral("Helvetica"), QStringLiteral("DejaVu Sans"),
                      QStringLiteral("Sans Serif")});
    return font;
}

QPointF KelvoraCurvePoint(const QRectF &box, double x)
{
    const double y = (std::exp(3.0 * x) - 1.0) / (std::exp(3.0) - 1.0);
    return {box.left() + x * box.width(), box.bottom() - y * box.height()};
}

QPainterPath KelvoraCurve(const QRectF &box)
{
    QPainterPath path;
    constexpr int Steps = 60;
    for (int i = 0; i <= Steps; ++i) {
        const QPointF point = KelvoraCurvePoint(box, static_cast<double>(i) / Steps);
        if (i == 0)
            path.moveTo(point);
        else
            path.lineTo(point);
    }
    return path;
}

QIcon KelvoraIcon()
{
    QPixmap pixmap(32, 32);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    QLinearGradient background(0, 0, 32, 32);
    background.setColorAt(0, QColor(255, 244, 214));
    background.setColorAt(1, QColor(230, 140, 60));
    painter.setBrush(background);
    painter.setPen(QPen(KelvoraMaroon, 1.5));
    painter.drawRoundedRect(QRectF(1, 1, 30, 30), 5, 5);
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(QColor(0, 0, 160), 2.5));
    painter.drawPath(KelvoraCurve(QRectF(6, 6, 20, 20)));
    painter.end();
    return QIcon(pixmap);
}

} // namespace kelvora
