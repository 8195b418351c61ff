#pragma once

#include <QDialog>
#include <QImage>
#include <QSize>

class QChart;
class QLabel;
class QPushButton;
class QSpinBox;

namespace kelvora {

class Dialogs;

// The size of a chart's picture in pixels and its resolution. The chart is laid out at the
// size the picture has when printed at that resolution, so that its texts and lines keep
// the size they have on the screen: 300 dpi gives a sharp picture for a certificate.
struct PictureSettings
{
    QSize pixels;
    int dpi = 300;
};

// The chart drawn as a picture with these settings (the check boxes of its legend and the
// series it hides left out). The chart is shown again as it was.
QImage renderChart(QChart *chart, const PictureSettings &settings);

// Writes the chart's picture to `path`: an SVG drawing when the name ends in ".svg", else a
// PNG image that records the resolution. A file that cannot be written raises Error
// "Cannot create file <path>.".
void saveChartPicture(QChart *chart, const QString &path, const PictureSettings &settings);

// "Save Chart as Picture": width and height in pixels and the resolution, with the printed
// size they make.
class ChartPictureDialog : public QDialog
{
    Q_OBJECT

public:
    // Proposes the chart's size on the screen, at 300 dpi.
    explicit ChartPictureDialog(QChart *chart, QWidget *parent = nullptr);

    QSpinBox *seWidth;
    QSpinBox *seHeight;
    QSpinBox *seResolution;
    QLabel *lblPrintedSize;
    QPushButton *btnOK;
    QPushButton *btnCancel;

    PictureSettings settings() const;

private:
    void showPrintedSize();
};

// What a user does to save a chart as a picture: the settings, then the file (proposed in
// `folder`, the program's output folder, as `name`.png, "chart.png" without a name), then the
// writing. Returns the path written, or an empty string when the user cancelled.
QString saveChartPictureAs(QChart *chart, Dialogs &dialogs, const QString &folder,
                           const QString &name,
                           QWidget *parent = nullptr);

} // namespace kelvora
