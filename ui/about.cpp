#include "ui/about.h"

#include "ui/appearance.h"
#include "ui/dialogs.h"

#include <QApplication>
#include <QLabel>
#include <QLinearGradient>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QStringList>

#include <algorithm>

namespace kelvora {

namespace {

QLabel *makeLabel(QWidget *parent, const QString &name, const QString &text, int points)
{
    auto *label = new QLabel(text, parent);
    label->setObjectName(name);
    // The program's face (Tahoma or its substitute) in the given size.
    QFont font = QApplication::font();
    font.setPointSize(points);
    font.setBold(true);
    label->setFont(font);
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, KelvoraMaroon);
    label->setPalette(palette);
    label->setAttribute(Qt::WA_TransparentForMouseEvents);
    label->adjustSize();
    return label;
}

// The description lines, separated by "\r".
QString aboutText()
{
    return QStringList{
        QStringLiteral("Calculation of parameters for the Sakuma-Hattori equation using two "),
        QStringLiteral("independent approach: the Levenberg-Marquardt algorithm and the "),
        QStringLiteral("Particle Swarm Optimization method."),
        QString(),
        QStringLiteral("Kelvora is applicable to temperature calibration of blackbody "),
        QStringLiteral("radiation sources and radiation thermometers using multiple-point "),
        QStringLiteral("method based on the Sakuma-Hattori interpolation equation."),
    }.join(QChar(13));
}

} // namespace

TFAbout::TFAbout(QWidget *parent) : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint)
{
    setObjectName(QStringLiteral("FAbout"));
    setWindowTitle(QStringLiteral("About Kelvora"));

    Label2 = makeLabel(this, QStringLiteral("Label2"), QStringLiteral("Version 1.1"), 16);
    Label2->move(200, 117);
    Label1 = makeLabel(this, QStringLiteral("Label1"), shownText(aboutText()), 10);
    Label1->move(32, 147);
    // The picture is drawn to any size: a wider substitute for Tahoma widens the box rather
    // than cutting the description off.
    const QRect texts = Label1->geometry().united(Label2->geometry());
    setFixedSize(std::max(517, texts.right() + 32), std::max(344, texts.bottom() + 24));

    if (const QScreen *screen = QApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
}

void TFAbout::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF area = rect();

    QLinearGradient sky(area.topLeft(), area.bottomLeft());
    sky.setColorAt(0.0, QColor(255, 250, 235));
    sky.setColorAt(0.6, QColor(255, 226, 170));
    sky.setColorAt(1.0, QColor(236, 150, 70));
    painter.fillRect(area, sky);

    // A calibration curve behind the texts, with a few reference points on it.
    const QRectF plot(24, 24, area.width() - 48, area.height() - 48);
    painter.setPen(QPen(QColor(255, 255, 255, 150), 1));
    for (int i = 1; i < 8; ++i) {
        const double x = plot.left() + plot.width() * i / 8;
        painter.drawLine(QPointF(x, plot.top()), QPointF(x, plot.bottom()));
    }
    painter.setPen(QPen(QColor(0, 0, 160, 70), 3));
    painter.drawPath(KelvoraCurve(plot));
    painter.setPen(QPen(QColor(0, 128, 0, 90), 1));
    painter.setBrush(QColor(0, 255, 0, 80));
    for (const double x : {0.35, 0.55, 0.72, 0.86}) {
        const QPointF centre = KelvoraCurvePoint(plot, x);
        painter.drawRect(QRectF(centre - QPointF(4, 4), QSizeF(8, 8)));
    }

    painter.setPen(QPen(KelvoraMaroon, 2));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(area.adjusted(1, 1, -1, -1));
}

void TFAbout::mousePressEvent(QMouseEvent *event)
{
    event->accept();
    accept();
}

} // namespace kelvora
