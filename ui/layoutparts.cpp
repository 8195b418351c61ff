#include "ui/layoutparts.h"

#include "ui/appearance.h"
#include "ui/dialogs.h"
#include "ui/sizing.h"

#include <QApplication>
#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace kelvora {

QPushButton *makeButton(QWidget *parent, const char *name, const QString &caption,
                        const QString &hint, QStyle::StandardPixmap picture)
{
    auto *button = new QPushButton(caption, parent);
    button->setObjectName(QLatin1String(name));
    button->setToolTip(hint);
    button->setIcon(parent->style()->standardIcon(picture));
    fitButton(*button, QSize(100, 25));
    return button;
}

QLabel *makeBanner(QWidget *parent, const QString &caption)
{
    auto *banner = new QLabel(caption, parent);
    QFont bold = banner->font();
    bold.setBold(true);
    banner->setFont(bold);
    banner->setAutoFillBackground(true);
    QPalette shade = banner->palette();
    shade.setColor(QPalette::Window, QColor(214, 223, 238));
    banner->setPalette(shade);
    banner->setContentsMargins(4, 2, 4, 2);
    return banner;
}

QWidget *bannerGroup(QWidget *parent, const QString &caption, QWidget *content)
{
    auto *group = new QFrame(parent);
    group->setFrameShape(QFrame::StyledPanel);
    auto *layout = new QVBoxLayout(group);
    layout->setContentsMargins(1, 1, 1, 1);
    layout->setSpacing(0);
    layout->addWidget(makeBanner(group, caption));
    content->setParent(group);
    layout->addWidget(content);
    return group;
}

QGroupBox *editGroup(QWidget *parent, const QString &caption,
                     const std::vector<std::pair<QString, QWidget *>> &rows,
                     const QColor &captionColour)
{
    auto *group = new QGroupBox(caption, parent);
    if (captionColour.isValid()) {
        QPalette colours = group->palette();
        colours.setColor(QPalette::WindowText, captionColour);
        colours.setColor(QPalette::Text, captionColour);
        group->setPalette(colours);
    }
    auto *layout = new QGridLayout(group);
    layout->setContentsMargins(6, 4, 6, 4);
    layout->setHorizontalSpacing(2);
    layout->setVerticalSpacing(3);
    const QPalette usual = QApplication::palette();
    int row = 0;
    for (const auto &[label, control] : rows) {
        auto *text = new QLabel(shownText(label), group);
        QPalette labelColours = text->palette();
        labelColours.setColor(QPalette::WindowText, usual.color(QPalette::WindowText));
        text->setPalette(labelColours);
        text->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        control->setParent(group);
        QPalette controlColours = control->palette();
        controlColours.setColor(QPalette::Text, usual.color(QPalette::Text));
        control->setPalette(controlColours);
        layout->addWidget(text, row, 0);
        layout->addWidget(control, row, 1);
        ++row;
    }
    layout->setColumnStretch(1, 1);
    layout->setRowStretch(row, 1);
    return group;
}

QLineEdit *creamEdit(QWidget *parent, const char *name)
{
    auto *edit = new QLineEdit(parent);
    edit->setObjectName(QLatin1String(name));
    edit->setReadOnly(true);
    QPalette shades = QApplication::palette();
    shades.setColor(QPalette::Base, CreamColor);
    edit->setPalette(shades);
    return edit;
}

QHBoxLayout *okCancelRow(QWidget *dialog, QPushButton *&ok, QPushButton *&cancel)
{
    ok = new QPushButton(QStringLiteral("&OK"), dialog);
    ok->setObjectName(QStringLiteral("btnOK"));
    ok->setDefault(true);
    cancel = new QPushButton(QStringLiteral("&Cancel"), dialog);
    cancel->setObjectName(QStringLiteral("btnCancel"));
    auto *row = new QHBoxLayout;
    row->addStretch(1);
    for (QPushButton *button : {ok, cancel}) {
        fitButton(*button, QSize(100, button->sizeHint().height()));
        row->addWidget(button);
    }
    return row;
}

} // namespace kelvora
