#include "ui/chartpicture.h"

#include "core/errors.h"
#include "ui/checklegend.h"
#include "ui/dialogs.h"
#include "ui/layoutparts.h"
#include "ui/sizing.h"

#include <QChart>
#include <QFile>
#include <QFormLayout>
#include <QGraphicsLayout>
#include <QGraphicsScene>
#include <QHBoxLayout>
#include <QImageWriter>
#include <QLabel>
#include <QLocale>
#include <QPainter>
#include <QPushButton>
#include <QSpinBox>
#include <QSvgGenerator>
#include <QVBoxLayout>

#include <cmath>

namespace kelvora {

namespace {

constexpr double MillimetresPerInch = 25.4;

// The resolution the chart is laid out for on the screen.
qreal screenDpi()
{
    return QImage(1, 1, QImage::Format_ARGB32).logicalDpiX();
}

// For its lifetime the chart is laid out at `size` and its legend drawn as in a picture;
// then the chart is as it was.
class PictureLayout
{
public:
    PictureLayout(QChart *chart, const QSizeF &size)
        : m_chart(chart), m_size(chart->size()), m_legend(checkLegendOf(chart))
    {
        if (m_chart->scene() == nullptr) {
            m_scene = std::make_unique<QGraphicsScene>();
            m_scene->addItem(m_chart);
        }
        if (m_legend != nullptr)
            m_legend->setPrinting(true);
        m_chart->resize(size);
        activate();
    }
    ~PictureLayout()
    {
        if (m_legend != nullptr)
            m_legend->setPrinting(false);
        m_chart->resize(m_size);
        activate();
        if (m_scene)
            m_scene->removeItem(m_chart);
    }
    PictureLayout(const PictureLayout &) = delete;
    PictureLayout &operator=(const PictureLayout &) = delete;

    // Draws the chart into `target` of the painter's device.
    void draw(QPainter &painter, const QRectF &target) const
    {
        painter.setRenderHints(QPainter::Antialiasing | QPainter::TextAntialiasing
                               | QPainter::SmoothPixmapTransform);
        m_chart->scene()->render(&painter, target,
                                 QRectF(m_chart->scenePos(), m_chart->size()),
                                 Qt::IgnoreAspectRatio);
    }

private:
    // Margins set by the legend take effect now, not when the event loop next runs.
    void activate()
    {
        if (QGraphicsLayout *layout = m_chart->layout()) {
            layout->invalidate();
            layout->activate();
        }
    }

    QChart *m_chart;
    QSizeF m_size;
    CheckLegend *m_legend;
    std::unique_ptr<QGraphicsScene> m_scene;
};

// The size on the screen that prints as the picture.
QSizeF layoutSize(const PictureSettings &settings)
{
    const qreal scale = screenDpi() / settings.dpi;
    return QSizeF(settings.pixels.width() * scale, settings.pixels.height() * scale);
}

Error cannotCreate(const QString &path, const QString &reason)
{
    return Error("Cannot create file " + path.toStdString() + ". " + reason.toStdString());
}

} // namespace

QImage renderChart(QChart *chart, const PictureSettings &settings)
{
    QImage image(settings.pixels, QImage::Format_ARGB32);
    image.fill(Qt::white);
    {
        const PictureLayout layout(chart, layoutSize(settings));
        QPainter painter(&image);
        layout.draw(painter, QRectF(QPointF(0, 0), QSizeF(settings.pixels)));
    }
    // The resolution is recorded once the drawing is done: the texts are drawn for the
    // screen and scaled with everything else.
    const int dotsPerMetre = static_cast<int>(std::lround(settings.dpi / 0.0254));
    image.setDotsPerMeterX(dotsPerMetre);
    image.setDotsPerMeterY(dotsPerMetre);
    return image;
}

void saveChartPicture(QChart *chart, const QString &path, const PictureSettings &settings)
{
    if (!path.endsWith(QLatin1String(".svg"), Qt::CaseInsensitive)) {
        const QImage image = renderChart(chart, settings);
        QImageWriter writer(path, "png");
        if (!writer.write(image))
            throw cannotCreate(path, writer.errorString());
        return;
    }
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        throw cannotCreate(path, file.errorString());
    // A drawing in the units of the screen, whose printed size follows from the resolution.
    const QSizeF size = layoutSize(settings);
    QSvgGenerator svg;
    svg.setOutputDevice(&file);
    svg.setResolution(static_cast<int>(std::lround(screenDpi())));
    svg.setSize(size.toSize());
    svg.setViewBox(QRectF(QPointF(0, 0), size));
    svg.setTitle(chart->title().isEmpty() ? QStringLiteral("Kelvora chart") : chart->title());
    {
        const PictureLayout layout(chart, size);
        QPainter painter(&svg);
        layout.draw(painter, QRectF(QPointF(0, 0), size));
    }
    file.close();
    if (file.error() != QFileDevice::NoError)
        throw cannotCreate(path, file.errorString());
}

ChartPictureDialog::ChartPictureDialog(QChart *chart, QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("FChartPicture"));
    setWindowTitle(QStringLiteral("Save Chart as Picture"));

    const auto spin = [this](const char *name, int low, int high, const QString &unit) {
        auto *edit = new QSpinBox(this);
        edit->setObjectName(QLatin1String(name));
        edit->setRange(low, high);
        edit->setSuffix(unit);
        edit->setAccelerated(true);
        return edit;
    };
    seWidth = spin("seWidth", 16, 20000, QStringLiteral(" px"));
    seHeight = spin("seHeight", 16, 20000, QStringLiteral(" px"));
    seResolution = spin("seResolution", 72, 2400, QStringLiteral(" dpi"));
    lblPrintedSize = new QLabel(this);
    lblPrintedSize->setObjectName(QStringLiteral("lblPrintedSize"));

    const qreal scale = 300 / screenDpi();
    seResolution->setValue(300);
    seWidth->setValue(static_cast<int>(std::lround(chart->size().width() * scale)));
    seHeight->setValue(static_cast<int>(std::lround(chart->size().height() * scale)));


    auto *form = new QFormLayout;
    form->addRow(QStringLiteral("Width "), seWidth);
    form->addRow(QStringLiteral("Height "), seHeight);
    form->addRow(QStringLiteral("Resolution "), seResolution);
    form->addRow(QStringLiteral("Printed size "), lblPrintedSize);
    QHBoxLayout *buttons = okCancelRow(this, btnOK, btnCancel);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addLayout(buttons);

    for (QSpinBox *edit : {seWidth, seHeight, seResolution})
        connect(edit, &QSpinBox::valueChanged, this, &ChartPictureDialog::showPrintedSize);
    connect(btnOK, &QPushButton::clicked, this, &QDialog::accept);
    connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);
    // The longest printed size keeps the label from changing the dialog's width.
    fitLabelWidth(*lblPrintedSize, 0,
                  {QStringLiteral("8888.8 × 8888.8 mm"), QStringLiteral("0000.0 × 0000.0 mm")});
    fitWidthToTitle(*this);
    showPrintedSize();
}

PictureSettings ChartPictureDialog::settings() const
{
    return {QSize(seWidth->value(), seHeight->value()), seResolution->value()};
}

void ChartPictureDialog::showPrintedSize()
{
    const PictureSettings chosen = settings();
    QLocale locale = QLocale::system();
    locale.setNumberOptions(QLocale::OmitGroupSeparator);
    const auto millimetres = [&chosen, &locale](int pixels) {
        return locale.toString(pixels * MillimetresPerInch / chosen.dpi, 'f', 1);
    };
    lblPrintedSize->setText(millimetres(chosen.pixels.width()) + QStringLiteral(" × ")
                            + millimetres(chosen.pixels.height()) + QStringLiteral(" mm"));
}

QString saveChartPictureAs(QChart *chart, Dialogs &dialogs, const QString &folder,
                           const QString &name,
                           QWidget *parent)
{
    ChartPictureDialog dialog(chart, parent);
    if (dialogs.exec(dialog) != QDialog::Accepted)
        return {};
    const QString path = dialogs.savePicture(
        QStringLiteral("Save Chart as Picture"), folder,
        (name.isEmpty() ? QStringLiteral("chart") : name) + QStringLiteral(".png"));
    if (path.trimmed().isEmpty())
        return {};
    saveChartPicture(chart, path, dialog.settings());
    return path;
}

} // namespace kelvora
