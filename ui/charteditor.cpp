#include "ui/charteditor.h"

#include "ui/chartpicture.h"
#include "ui/checklegend.h"
#include "ui/dialogs.h"
#include "ui/errorsink.h"
#include "ui/sizing.h"

#include <QAbstractAxis>
#include <QChart>
#include <QCheckBox>
#include <QColorDialog>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QLineSeries>
#include <QListWidget>
#include <QPixmap>
#include <QPushButton>
#include <QStackedWidget>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace kelvora {

namespace {

// What a node of the tree stands for.
enum class NodeKind { Chart, Axes, Axis, SeriesGroup, Series };
constexpr int KindRole = Qt::UserRole;
constexpr int ObjectRole = Qt::UserRole + 1;

QPushButton *makeButton(QWidget *parent, const char *name, const QString &caption)
{
    auto *button = new QPushButton(caption, parent);
    button->setObjectName(QString::fromLatin1(name));
    button->setAutoDefault(false);
    return button;
}

QIcon swatch(const QColor &colour)
{
    QPixmap pixmap(14, 14);
    pixmap.fill(colour.isValid() ? colour : QColor(Qt::transparent));
    return QIcon(pixmap);
}

QTreeWidgetItem *makeNode(QTreeWidgetItem *parent, const QString &text, NodeKind kind,
                          QObject *object = nullptr)
{
    auto *item = new QTreeWidgetItem(parent, {text});
    item->setData(0, KindRole, static_cast<int>(kind));
    item->setData(0, ObjectRole, QVariant::fromValue(object));
    return item;
}

NodeKind kindOf(const QTreeWidgetItem *item)
{
    return static_cast<NodeKind>(item->data(0, KindRole).toInt());
}

QObject *objectOf(const QTreeWidgetItem *item)
{
    return item->data(0, ObjectRole).value<QObject *>();
}

} // namespace

QString axisCaption(const QAbstractAxis *axis)
{
    QString place;
    switch (axis->alignment()) {
    case Qt::AlignBottom: place = QStringLiteral("Bottom"); break;
    case Qt::AlignTop: place = QStringLiteral("Top"); break;
    case Qt::AlignLeft: place = QStringLiteral("Left"); break;
    case Qt::AlignRight: place = QStringLiteral("Right"); break;
    default: place = QStringLiteral("Axis"); break;
    }
    if (axis->titleText().isEmpty())
        return place + QStringLiteral(" Axis");
    return place + QStringLiteral(": ") + axis->titleText();
}

ChartEditor::ChartEditor(QChart *chart, Dialogs &dialogs, const QString &pictureFolder,
                         const QString &pictureName, QWidget *parent)
    : QDialog(parent), m_chart(chart), m_dialogs(dialogs), m_pictureFolder(pictureFolder),
      m_pictureName(pictureName)
{
    setObjectName(QStringLiteral("ce"));
    setWindowTitle(QStringLiteral("Graph Editor"));

    tvParts = new QTreeWidget(this);
    tvParts->setObjectName(QStringLiteral("tvParts"));
    tvParts->setHeaderHidden(true);
    tvParts->setColumnCount(1);

    pages = new QStackedWidget(this);
    pages->setObjectName(QStringLiteral("pages"));
    tsChart = buildChartPage();
    tsAxis = buildAxisPage();
    tsSeries = buildSeriesPage();
    for (QWidget *page : {tsChart, tsAxis, tsSeries})
        pages->addWidget(page);

    btnPicture = makeButton(this, "btnPicture", QStringLiteral("Save as &Picture..."));
    btnClose = makeButton(this, "btnClose", QStringLiteral("&Close"));
    auto *bottom = new QHBoxLayout;
    bottom->addWidget(btnPicture);
    bottom->addStretch();
    bottom->addWidget(btnClose);

    auto *body = new QHBoxLayout;
    body->addWidget(tvParts, 2);
    body->addWidget(pages, 3);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(body, 1);
    layout->addLayout(bottom);

    connect(tvParts, &QTreeWidget::currentItemChanged, this,
            [this](QTreeWidgetItem *item) { showNode(item); });
    connect(btnPicture, &QPushButton::clicked, this, [this] { savePicture(); });
    connect(btnClose, &QPushButton::clicked, this, &QDialog::accept);

    fillTree();
    fillList(0);
    tvParts->setCurrentItem(m_seriesItem);
    fitWidthToTitle(*this);
    resize(sizeHint().expandedTo(QSize(560, 360)));
}

QWidget *ChartEditor::buildChartPage()
{
    auto *page = new QWidget(this);
    page->setObjectName(QStringLiteral("tsChart"));
    edChartTitle = new QLineEdit(page);
    edChartTitle->setObjectName(QStringLiteral("edChartTitle"));
    auto *form = new QFormLayout(page);
    form->setContentsMargins(0, 0, 0, 0);
    form->addRow(new QLabel(QStringLiteral("<b>Chart</b>"), page));
    form->addRow(QStringLiteral("Title "), edChartTitle);
    connect(edChartTitle, &QLineEdit::textEdited, this,
            [this](const QString &text) { m_chart->setTitle(text); });
    return page;
}

QWidget *ChartEditor::buildAxisPage()
{
    auto *page = new QWidget(this);
    page->setObjectName(QStringLiteral("tsAxis"));
    edAxisTitle = new QLineEdit(page);
    edAxisTitle->setObjectName(QStringLiteral("edAxisTitle"));
    auto *form = new QFormLayout(page);
    form->setContentsMargins(0, 0, 0, 0);
    form->addRow(new QLabel(QStringLiteral("<b>Axis</b>"), page));
    form->addRow(QStringLiteral("Title "), edAxisTitle);
    connect(edAxisTitle, &QLineEdit::textEdited, this, [this](const QString &text) {
        if (m_axis == nullptr)
            return;
        m_axis->setTitleText(text);
        if (QTreeWidgetItem *item = tvParts->currentItem(); item && objectOf(item) == m_axis)
            item->setText(0, axisCaption(m_axis));
    });
    return page;
}

QWidget *ChartEditor::buildSeriesPage()
{
    auto *page = new QWidget(this);
    page->setObjectName(QStringLiteral("tsSeries"));
    lstSeries = new QListWidget(page);
    lstSeries->setObjectName(QStringLiteral("lstSeries"));
    btnUp = makeButton(page, "btnUp", QStringLiteral("Move &Up"));
    btnDown = makeButton(page, "btnDown", QStringLiteral("Move &Down"));
    btnAdd = makeButton(page, "btnAdd", QStringLiteral("&Add"));
    btnDelete = makeButton(page, "btnDelete", QStringLiteral("De&lete"));
    edTitle = new QLineEdit(page);
    edTitle->setObjectName(QStringLiteral("edTitle"));
    btnColour = makeButton(page, "btnColour", QStringLiteral("C&hange..."));
    cbVisible = new QCheckBox(QStringLiteral("Visible"), page);
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

    auto *layout = new QVBoxLayout(page);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(new QLabel(QStringLiteral("<b>Series</b>"), page));
    layout->addLayout(top, 1);
    layout->addLayout(properties);

    connect(lstSeries, &QListWidget::currentRowChanged, this, [this](int row) {
        showCurrent();
        // The tree follows the list while the series page is shown.
        if (m_seriesItem != nullptr && pages->currentWidget() == tsSeries && row >= 0
            && row < m_seriesItem->childCount())
            tvParts->setCurrentItem(m_seriesItem->child(row));
    });
    connect(edTitle, &QLineEdit::textEdited, this, [this](const QString &text) {
        if (QAbstractSeries *series = currentSeries()) {
            series->setName(text);
            seriesChanged();
        }
    });
    connect(cbVisible, &QCheckBox::clicked, this, [this](bool checked) {
        if (QAbstractSeries *series = currentSeries()) {
            series->setVisible(checked);
            seriesChanged();
        }
    });
    connect(btnColour, &QPushButton::clicked, this, [this] { chooseColour(); });
    connect(btnUp, &QPushButton::clicked, this, [this] { moveCurrent(-1); });
    connect(btnDown, &QPushButton::clicked, this, [this] { moveCurrent(+1); });
    connect(btnAdd, &QPushButton::clicked, this, [this] { addSeries(); });
    connect(btnDelete, &QPushButton::clicked, this, [this] { deleteCurrent(); });
    return page;
}

void ChartEditor::fillTree()
{
    m_filling = true;
    tvParts->clear();
    auto *root = new QTreeWidgetItem(tvParts, {QStringLiteral("Chart")});
    root->setData(0, KindRole, static_cast<int>(NodeKind::Chart));
    QTreeWidgetItem *axes = makeNode(root, QStringLiteral("Axes"), NodeKind::Axes);
    for (QAbstractAxis *axis : m_chart->axes())
        makeNode(axes, axisCaption(axis), NodeKind::Axis, axis);
    m_seriesItem = makeNode(root, QStringLiteral("Series"), NodeKind::SeriesGroup);
    for (QAbstractSeries *series : listedSeries(m_chart))
        makeNode(m_seriesItem, series->name(), NodeKind::Series, series)
            ->setIcon(0, swatch(seriesColour(series)));
    tvParts->expandAll();
    m_filling = false;
}

void ChartEditor::showNode(QTreeWidgetItem *item)
{
    if (item == nullptr || m_filling)
        return;
    switch (kindOf(item)) {
    case NodeKind::Chart:
        edChartTitle->setText(m_chart->title());
        pages->setCurrentWidget(tsChart);
        break;
    case NodeKind::Axes:
        // The group shows its first axis.
        if (item->childCount() > 0)
            tvParts->setCurrentItem(item->child(0));
        break;
    case NodeKind::Axis:
        m_axis = qobject_cast<QAbstractAxis *>(objectOf(item));
        edAxisTitle->setText(m_axis != nullptr ? m_axis->titleText() : QString());
        pages->setCurrentWidget(tsAxis);
        break;
    case NodeKind::SeriesGroup:
        pages->setCurrentWidget(tsSeries);
        break;
    case NodeKind::Series:
        pages->setCurrentWidget(tsSeries);
        lstSeries->setCurrentRow(
            static_cast<int>(listedSeries(m_chart).indexOf(objectOf(item))));
        break;
    }
}

QAbstractSeries *ChartEditor::currentSeries() const
{
    const QList<QAbstractSeries *> series = listedSeries(m_chart);
    const int row = lstSeries->currentRow();
    return row >= 0 && row < series.size() ? series[row] : nullptr;
}

void ChartEditor::fillList(int current)
{
    lstSeries->clear();
    for (QAbstractSeries *series : listedSeries(m_chart))
        lstSeries->addItem(new QListWidgetItem(swatch(seriesColour(series)), series->name()));
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
    btnColour->setIcon(swatch(seriesColour(series)));
    lstSeries->currentItem()->setIcon(swatch(seriesColour(series)));
    const int row = lstSeries->currentRow();
    btnUp->setEnabled(row > 0);
    btnDown->setEnabled(row < lstSeries->count() - 1);
}

// The list, the tree and the legend after a change of the chosen series.
void ChartEditor::seriesChanged()
{
    QAbstractSeries *series = currentSeries();
    if (series == nullptr)
        return;
    lstSeries->currentItem()->setText(series->name());
    const int row = lstSeries->currentRow();
    if (row < m_seriesItem->childCount()) {
        m_seriesItem->child(row)->setText(0, series->name());
        m_seriesItem->child(row)->setIcon(0, swatch(seriesColour(series)));
    }
    refreshCheckLegend(m_chart);
    showCurrent();
}

void ChartEditor::chooseColour()
{
    QAbstractSeries *series = currentSeries();
    if (series == nullptr)
        return;
    const QColor colour = QColorDialog::getColor(seriesColour(series), this,
                                                 QStringLiteral("Colour of ") + series->name());
    if (colour.isValid())
        setCurrentColour(colour);
}

void ChartEditor::setCurrentColour(const QColor &colour)
{
    if (auto *xy = qobject_cast<QXYSeries *>(currentSeries())) {
        xy->setColor(colour);
        seriesChanged();
    }
}

void ChartEditor::moveCurrent(int delta)
{
    const QList<QAbstractSeries *> listed = listedSeries(m_chart);
    const int row = lstSeries->currentRow();
    const int target = row + delta;
    if (row < 0 || target < 0 || target >= listed.size())
        return;
    // The two listed series change places; series kept out of the list keep theirs.
    QList<QAbstractSeries *> series = m_chart->series();
    series.swapItemsAt(series.indexOf(listed[row]), series.indexOf(listed[target]));

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
    refreshCheckLegend(m_chart);
    fillTree();
    fillList(target);
}

void ChartEditor::addSeries()
{
    auto *series = new QLineSeries;
    series->setName(QStringLiteral("Series%1").arg(listedSeries(m_chart).size() + 1));
    m_chart->addSeries(series);
    const QList<QAbstractAxis *> horizontal = m_chart->axes(Qt::Horizontal);
    const QList<QAbstractAxis *> vertical = m_chart->axes(Qt::Vertical);
    if (!horizontal.isEmpty())
        series->attachAxis(horizontal.first());
    if (!vertical.isEmpty())
        series->attachAxis(vertical.first());
    refreshCheckLegend(m_chart);
    fillTree();
    fillList(static_cast<int>(listedSeries(m_chart).size()) - 1);
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
    refreshCheckLegend(m_chart);
    fillTree();
    fillList(std::max(0, row - 1));
}

void ChartEditor::savePicture()
{
    guarded(m_dialogs, [this] {
        saveChartPictureAs(m_chart, m_dialogs, m_pictureFolder, m_pictureName, this);
    });
}

} // namespace kelvora
