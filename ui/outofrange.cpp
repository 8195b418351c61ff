#include "ui/outofrange.h"

#include "records/interpolation.h"
#include "ui/appearance.h"
#include "ui/dialogs.h"
#include "ui/sizing.h"

#include <QLabel>
#include <QPushButton>
#include <QStyle>

#include <algorithm>

namespace kelvora {

TFOutOfRange::TFOutOfRange(int OutOfRangeKind, QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint
                          | Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint)
{
    setObjectName(QStringLiteral("FOutOfRange"));
    setWindowTitle(QStringLiteral("WARNING"));
    setWindowIcon(style()->standardIcon(QStyle::SP_MessageBoxWarning));

    lblAlert = new QLabel(shownText(QString::fromStdString(OutOfRangeText(OutOfRangeKind))), this);
    lblAlert->setObjectName(QStringLiteral("lblAlert"));
    lblAlert->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    QPalette palette = lblAlert->palette();
    palette.setColor(QPalette::WindowText, WarningColor);
    lblAlert->setPalette(palette);
    // 245 × 91 holds the text in Tahoma 8; a wider substitute font widens the window instead
    // of cutting the text off.
    const QSize text = lblAlert->sizeHint().expandedTo(
        QSize(std::max(245, titleBarWidthFor(windowTitle(), font()) - 35), 91));
    lblAlert->setGeometry(14, 11, text.width(), text.height());
    setFixedSize(text.width() + 35, text.height() + 59);

    btnOK = new QPushButton(QStringLiteral("&OK"), this);
    btnOK->setObjectName(QStringLiteral("btnOK"));
    btnOK->setGeometry((width() - 100) / 2, height() - 37, 100, 25);
    btnOK->setDefault(true);
    connect(btnOK, &QPushButton::clicked, this, &QDialog::accept);
}

} // namespace kelvora
