#pragma once

// Parts that the windows are built from, so that they look alike: buttons with a picture,
// banners, groups of labelled rows and read-only boxes on cream.

#include <QColor>
#include <QStyle>

#include <utility>
#include <vector>

class QGroupBox;
class QHBoxLayout;
class QLabel;
class QLineEdit;
class QPushButton;
class QString;
class QWidget;

namespace kelvora {

// A button with caption, hint and picture, at least 100 × 25 and as large as its caption
// and picture need.
QPushButton *makeButton(QWidget *parent, const char *name, const QString &caption,
                        const QString &hint, QStyle::StandardPixmap picture);

// A bold strip on a light blue shade, the caption of what lies below it.
QLabel *makeBanner(QWidget *parent, const QString &caption);

// A frame with a banner above its content.
QWidget *bannerGroup(QWidget *parent, const QString &caption, QWidget *content);

// A group box with rows of a right-aligned label ("\r" a line break) and its control. Only
// the caption takes `captionColour`; labels and values keep the usual text colour.
QGroupBox *editGroup(QWidget *parent, const QString &caption,
                     const std::vector<std::pair<QString, QWidget *>> &rows,
                     const QColor &captionColour = QColor());

// A read-only edit on cream.
QLineEdit *creamEdit(QWidget *parent, const char *name);

// The foot of a dialog: OK (the default button) and Cancel at its right, 100 pixels wide or
// as their captions need. Returns the row; `ok` and `cancel` receive the buttons.
QHBoxLayout *okCancelRow(QWidget *dialog, QPushButton *&ok, QPushButton *&cancel);

} // namespace kelvora
