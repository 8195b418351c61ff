#pragma once

#include <QFontMetrics>
#include <QLineEdit>

namespace kelvora::test {

// True when the edit shows the text whole: with the cursor moved to its end the text has
// not scrolled, so its first character is still in sight.
inline bool showsWhole(QLineEdit *edit, const QString &text)
{
    edit->setText(text);
    edit->setCursorPosition(0);
    (void)edit->grab(); // the edit scrolls its text when it paints
    const int start = edit->inputMethodQuery(Qt::ImCursorRectangle).toRect().center().x();
    edit->setCursorPosition(static_cast<int>(text.size()));
    (void)edit->grab();
    const int end = edit->inputMethodQuery(Qt::ImCursorRectangle).toRect().center().x();
    return end - start >= QFontMetrics(edit->font()).horizontalAdvance(text) - 1;
}

} // namespace kelvora::test
