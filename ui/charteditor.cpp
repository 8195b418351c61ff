#include "ui/charteditor.h"

#include "ui/chart.h"
#include "ui/dialogs.h"

#include <QAbstractAxis>
#include <QChart>
#include <QCheckBox>
#include <QColorDialog>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QLineSeries>
#include <QListWidget>
#include <QPixmap>
#include <QPushButton>
#include <QScatterSeries>
#include <QVBoxLayout>

namespace kelvora {

namespace {

QPushButton *makeButton(QWidget *parent, const char *name, const QString &caption)
{
    auto *button = new QPushButton(caption, parent);
    button->setObjectName(QString::fromLatin1(name));
    button->setAutoDefault(false);
    return button;
}

QColor colourOf(QAbstractSeries *series)
{
    // A series filled with a gradient shows the gradient's first colour.
    if (auto *scatter = qobject_cast<QScatterSeries *>(series)) {
        const QGradient *gradient = scatter->brush().gradient();
        if (gradient && !gradient->stops().isEmpty())
            return gradient->stops().constFirst().second;
    }
    if (auto *xy = qobject_cast<QXYSeries *>(series))
        return xy->color();
    return {};
}

QIcon swatch(const QColor &colour)
{
    QPixmap pixmap(14, 14);
    pixmap.fill(colour.isValid() ? colour : QColor(Qt::transparent));
    return QIcon(pixmap);
}

} // namespace

ChartEditor::ChartEditor(QChart *chart, Dialogs &dialogs, QWidget *parent)
    : QDialog(parent), m_chart(chart), m_dialogs(dialogs)
{
    setObjectName(QStringLiteral("ce"));
    setWindowTitle(QStringLiteral("Graph Editor"));
    resize(420, 300);

    lstSeries = new QListWidget(this);
    lstSeries->setObjectName(QStringLiteral("lstSeries"));
    btnUp = makeButton(this, "btnUp", QStringLiteral("Move Up"));
    btnDown = makeButton(this, "btnDown", QStringLiteral("Move Down"));
    btnAdd = makeButton(this, "btnAdd", QStringLiteral("Add"));
    btnDelete = makeButton(this, "btnDelete", QStringLiteral("Delete"));
    btnClose = makeButton(this, "btnClose", QStringLiteral("Close"));
    edTitle = new QLineEdit(this);
    edTitle->setObjectName(QStringLiteral("edTitle"));
    btnColour = makeButton(this, "btnColour", QStringLiteral("Change..."));
    cbVisible = new QCheckBox(QStringLiteral("Visible"), this);
    cbVisible->setObjectName(QStringLiteral("cbVisible"));

    auto *order = new QVBoxLayout;
    order->addWidget(btnAdd);
    order->addWidget(btnDelete);
    order->addSpacing(12);
    order->addWidget(btnUp);
    order->addWidget(btnDown);
    order->addStretch();

    auto *properties = new QFormLayout;
    properties->addRow(QStringLiteral("Title "), edTitle);
    auto *colourRow = new QHBoxLayout;
    colourRow->addWidget(btnColour);
    colourRow->addStretch();
    properties->addRow(QStringLiteral("Colour "), colourRow);
    properties->addRow(QString(), cbVisible);

    auto *top = new QHBoxLayout;
    top->addWidget(lstSeries, 1);
    top->addLayout(order);

    auto *bottom = new QHBoxLayout;
    bottom->addStretch();
    bottom->addWidget(btnClose);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(QStringLiteral("Series"), this));
    layout->addLayout(top, 1);
    layout->addLayout(properties);
    layout->addLayout(bottom);

    connect(lstSeries, &QListWidget::currentRowChanged, this, [this] { showCurrent(); });
    connect(edTitle, &QLineEdit::textEdited, this, [this](const QString &text) {
        if (QAbstractSeries *series = currentSeries()) {
            series->setName(text);
            lstSeries->currentItem()->setText(text);
        }
    });
    connect(cbVisible, &QCheckBox::clicked, this, [this](bool checked) {
        if (QAbstractSeries *series = currentSeries()) {
            series->setVisible(checked);
            connectLegendMarkers(m_chart);
        }
    });
    connect(btnColour, &QPushButton::clicked, this, [this] { chooseColour(); });
    connect(btnUp, &QPushButton::clicked, this, [this] { moveCurrent(-1); });
    connect(btnDown, &QPushButton::clicked, this, [this] { moveCurrent(+1); });
    connect(btnAdd, &QPushButton::clicked, this, [this] { addSeries(); });
    connect(btnDelete, &QPushButton::clicked, this, [this] { deleteCurrent(); });
    connect(btnClose, &QPushButton::clicked, this, &QDialog::accept);

    fillList(0);
}

QAbstractSeries *ChartEditor::currentSeries() const
{
    const QList<QAbstractSeries *> series = m_chart->series();
    const int row = lstSeries->currentRow();
    return row >= 0 && row < series.size() ? series[row] : nullptr;
}

void ChartEditor::fillList(int current)
{
    lstSeries->clear();
    for (QAbstractSeries *series : m_chart->series())
        lstSeries->addItem(new QListWidgetItem(swatch(colourOf(series)), series->name()));
    lstSeries->setCurrentRow(std::min(current, lstSeries->count() - 1));
    showCurrent();
}

void ChartEditor::showCurrent()
{
    QAbstractSeries *series = currentSeries();
    const bool chosen = series != nullptr;
    for (QWidget *control : std::initializer_list<QWidget *>{edTitle, btnColour, cbVisible,
                                                             btnDelete, btnUp, btnDown})
        control->setEnabled(chosen);
    if (!chosen) {
        edTitle->clear();
        return;
    }
    edTitle->setText(series->name());
    cbVisible->setChecked(series->isVisible());
    btnColour->setIcon(swatch(colourOf(series)));
    lstSeries->currentItem()->setIcon(swatch(colourOf(series)));
    const int row = lstSeries->currentRow();
    btnUp->setEnabled(row > 0);
    btnDown->setEnabled(row < lstSeries->count() - 1);
}

void ChartEditor::chooseColour()
{
    QAbstractSeries *series = currentSeries();
    if (series == nullptr)
        return;
    const QColor colour = QColorDialog::getColor(colourOf(series), this,
                                                 QStringLiteral("Colour of ") + series->name());
    if (colour.isValid())
        setCurrentColour(colour);
}

void ChartEditor::setCurrentColour(const QColor &colour)
{
    if (auto *xy = qobject_cast<QXYSeries *>(currentSeries())) {
        xy->setColor(colour);
        connectLegendMarkers(m_chart);
        showCurrent();
    }
}

void ChartEditor::moveCurrent(int delta)
{
    QList<QAbstractSeries *> series = m_chart->series();
    const int row = lstSeries->currentRow();
    const int target = row + delta;
    if (row < 0 || target < 0 || target >= series.size())
        return;
    series.move(row, target);

    // The chart keeps its series in the order they were added: add them all again.
    QList<QList<QAbstractAxis *>> axes;
    for (QAbstractSeries *each : series) {
        axes.append(each->attachedAxes());
        m_chart->removeSeries(each);
    }
    for (int i = 0; i < series.size(); ++i) {
        m_chart->addSeries(series[i]);
        for (QAbstractAxis *axis : axes[i])
            series[i]->attachAxis(axis);
    }
    connectLegendMarkers(m_chart);
    fillList(target);
}

void ChartEditor::addSeries()
{
    auto *series = new QLineSeries;
    series->setName(QStringLiteral("Series%1").arg(m_chart->series().size() + 1));
    m_chart->addSeries(series);
    const QList<QAbstractAxis *> horizontal = m_chart->axes(Qt::Horizontal);
    const QList<QAbstractAxis *> vertical = m_chart->axes(Qt::Vertical);
    if (!horizontal.isEmpty())
        series->attachAxis(horizontal.first());
    if (!vertical.isEmpty())
        series->attachAxis(vertical.first());
    connectLegendMarkers(m_chart);
    fillList(static_cast<int>(m_chart->series().size()) - 1);
}

void ChartEditor::deleteCurrent()
{
    QAbstractSeries *series = currentSeries();
    if (series == nullptr
        || !m_dialogs.confirm(QStringLiteral("Delete ") + series->name() + QStringLiteral("?"),
                              Dialogs::Buttons::YesNo))
        return;
    const int row = lstSeries->currentRow();
    m_chart->removeSeries(series);
    delete series;
    fillList(std::max(0, row - 1));
}

} // namespace kelvora
