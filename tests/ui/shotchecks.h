#pragma once

// What a user sees in a picture of a window: every text whole, and colours where they belong.

#include <QAbstractButton>
#include <QColor>
#include <QGroupBox>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QRect>
#include <QWidget>

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

namespace kelvora::test {

// Every shown label, button, group title and read-only edit of `root` holds its whole text.
inline void expectNoClippedText(const QWidget &root)
{
    for (const QWidget *control : root.findChildren<QWidget *>()) {
        if (!control->isVisibleTo(&root))
            continue;
        const std::string what = control->metaObject()->className() + std::string(" ")
                                 + control->objectName().toStdString();
        int needed = 0;
        if (const auto *label = qobject_cast<const QLabel *>(control)) {
            if (label->text().isEmpty() || label->wordWrap())
                continue;
            needed = label->sizeHint().width();
        } else if (qobject_cast<const QAbstractButton *>(control)) {
            needed = control->sizeHint().width();
        } else if (qobject_cast<const QGroupBox *>(control)) {
            needed = control->minimumSizeHint().width();
        } else if (const auto *edit = qobject_cast<const QLineEdit *>(control)) {
            if (!edit->isReadOnly())
                continue;
            needed = edit->fontMetrics().horizontalAdvance(edit->text()) + 4;
        } else {
            continue;
        }
        EXPECT_GE(control->width(), needed) << what;
    }
}

// Where a control stands in a picture of `root`.
inline QRect regionIn(const QWidget &control, const QWidget &root)
{
    return QRect(control.mapTo(&root, QPoint(0, 0)), control.size());
}

// True when a pixel of the region is that colour, within `tolerance` steps of each channel:
// a fill is exact, a line or a glyph's stem is near its colour whatever the smoothing does.
inline bool showsColour(const QImage &image, const QRect &region, const QColor &colour,
                        int tolerance = 0)
{
    const QRect inside = region.intersected(image.rect());
    for (int y = inside.top(); y <= inside.bottom(); ++y) {
        for (int x = inside.left(); x <= inside.right(); ++x) {
            const QColor pixel = image.pixelColor(x, y);
            if (std::abs(pixel.red() - colour.red()) <= tolerance
                && std::abs(pixel.green() - colour.green()) <= tolerance
                && std::abs(pixel.blue() - colour.blue()) <= tolerance)
                return true;
        }
    }
    return false;
}

} // namespace kelvora::test
