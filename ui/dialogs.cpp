#include "ui/dialogs.h"

#include "ui/sizing.h"
#include "ui/tablefield.h"

#include <QApplication>
#include <QDateTime>
#include <QDesktopServices>
#include <QDialog>
#include <QFileDialog>
#include <QFontMetrics>
#include <QGridLayout>
#include <QHeaderView>
#include <QInputDialog>
#include <QLineEdit>
#include <QLocale>
#include <QMessageBox>
#include <QScreen>
#include <QSpacerItem>
#include <QTreeView>
#include <QUrl>

#include <algorithm>
#include <cstdio>

namespace kelvora {

namespace {

const QString Caption = QStringLiteral("Kelvora");
const QString TextFilter = QStringLiteral("Text Files (*.txt);;All Files (*)");
const QString PngFilter = QStringLiteral("PNG Image (*.png)");
const QString SvgFilter = QStringLiteral("SVG Drawing (*.svg)");
const QString ImageFilter =
    QStringLiteral("Pictures (*.png *.jpg *.jpeg *.svg *.bmp);;All Files (*)");
const QString PdfFilter = QStringLiteral("PDF Document (*.pdf)");

// Qt's own file dialog opens narrow, with the Size, Type and Date columns cut: they take the
// width of their contents, the name the rest, and the dialog opens wide enough for all of
// them (as far as the screen allows).
void showDetailsWhole(QFileDialog &dialog)
{
    auto *tree = dialog.findChild<QTreeView *>(QStringLiteral("treeView"));
    if (tree == nullptr)
        return;
    QHeaderView *header = tree->header();
    header->setStretchLastSection(false);
    header->setSectionResizeMode(0, QHeaderView::Stretch);
    for (int column = 1; column < header->count(); ++column)
        header->setSectionResizeMode(column, QHeaderView::ResizeToContents);
    // What the columns hold: a file name of some length, a size, a type and a date and time.
    const QFontMetrics metrics(tree->font());
    const QString date = QLocale::system().toString(
        QDateTime(QDate(2088, 12, 28), QTime(23, 58, 58)), QLocale::ShortFormat);
    int columns = 0;
    for (const QString &text : {QStringLiteral("A record file of thirty-two letters.txt"),
                                QStringLiteral("1023.9 KiB"), QStringLiteral("txt File"), date})
        columns += metrics.horizontalAdvance(text) + 4 * metrics.averageCharWidth();
    auto *sidebar = dialog.findChild<QWidget *>(QStringLiteral("sidebar"));
    const int width = columns + (sidebar != nullptr ? sidebar->sizeHint().width() : 0)
                      + 6 * metrics.averageCharWidth();
    QSize size = dialog.sizeHint().expandedTo(QSize(width, width * 3 / 5));
    if (const QScreen *screen = dialog.screen())
        size = size.boundedTo(screen->availableGeometry().size() * 9 / 10);
    dialog.resize(size);
}

// The file dialogs share everything but their mode and their file types.
QString runFileDialog(QFileDialog::AcceptMode mode, const QString &title, const QString &folder,
                      const QString &proposedName, const QString &filter = TextFilter,
                      const QString &suffix = QStringLiteral("txt"))
{
    QFileDialog dialog(QApplication::activeWindow(), title, folder, filter);
    dialog.setAcceptMode(mode);
    dialog.setDefaultSuffix(suffix);
    // A name typed without extension gets the one of the chosen type.
    QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog,
                     [&dialog](const QString &chosen) {
                         const qsizetype star = chosen.indexOf(QLatin1String("(*."));
                         if (star >= 0)
                             dialog.setDefaultSuffix(chosen.mid(star + 3).chopped(1));
                     });
    dialog.setSizeGripEnabled(true);
    showDetailsWhole(dialog);
    // A missing file is reported when it is opened; the save mode asks before an existing
    // file is replaced.
    dialog.setFileMode(QFileDialog::AnyFile);
    if (!proposedName.isEmpty())
        dialog.selectFile(proposedName);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return dialog.selectedFiles().constFirst();
}

// A small box of a message or question: a title bar with the close button only.
void withCloseButtonOnly(QDialog &box)
{
    box.setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint
                       | Qt::WindowCloseButtonHint);
}

// What a box would have said, on standard error.
void printInstead(const QString &text)
{
    std::fprintf(stderr, "%s\n", shownText(text).toLocal8Bit().constData());
    std::fflush(stderr);
}

// A window manager writes the caption "Kelvora" in the title bar beside its buttons: the box
// is made wide enough for it, however short its text.
void widenForCaption(QMessageBox &box)
{
    auto *grid = qobject_cast<QGridLayout *>(box.layout());
    if (grid == nullptr)
        return;
    const int width = titleBarWidthFor(box.windowTitle(), box.font());
    grid->addItem(new QSpacerItem(width, 0, QSizePolicy::Fixed, QSizePolicy::Minimum),
                  grid->rowCount(), 0, 1, grid->columnCount());
}

} // namespace

Dialogs::~Dialogs() = default;

bool windowsCanBeAnswered()
{
    const QString platform = QGuiApplication::platformName();
    return platform != QLatin1String("offscreen") && platform != QLatin1String("minimal");
}

QString shownText(const QString &text)
{
    QString shown = text;
    shown.replace(QChar(13), QChar(10));
    return shown;
}

void QtDialogs::message(const QString &text)
{
    if (!m_answerable)
        return printInstead(text);
    QMessageBox box(QMessageBox::NoIcon, Caption, shownText(text), QMessageBox::Ok,
                    QApplication::activeWindow());
    withCloseButtonOnly(box);
    widenForCaption(box);
    box.exec();
}

bool QtDialogs::confirm(const QString &text, Buttons buttons)
{
    // Unanswered, nothing is done.
    if (!m_answerable) {
        printInstead(text);
        return false;
    }
    const bool yesNo = buttons == Buttons::YesNo;
    const QMessageBox::StandardButton accept = yesNo ? QMessageBox::Yes : QMessageBox::Ok;
    const QMessageBox::StandardButton refuse = yesNo ? QMessageBox::No : QMessageBox::Cancel;
    QMessageBox box(QMessageBox::Question, Caption, shownText(text), accept | refuse,
                    QApplication::activeWindow());
    box.setDefaultButton(accept);
    box.setEscapeButton(refuse);
    withCloseButtonOnly(box);
    widenForCaption(box);
    return box.exec() == accept;
}

QString QtDialogs::openFile(const QString &title, const QString &folder)
{
    return runFileDialog(QFileDialog::AcceptOpen, title, folder, {});
}

QString QtDialogs::saveFile(const QString &title, const QString &folder,
                            const QString &proposedName)
{
    return runFileDialog(QFileDialog::AcceptSave, title, folder, proposedName);
}

QString QtDialogs::savePicture(const QString &title, const QString &folder,
                               const QString &proposedName)
{
    return runFileDialog(QFileDialog::AcceptSave, title, folder, proposedName,
                         PngFilter + QStringLiteral(";;") + SvgFilter, QStringLiteral("png"));
}

QString QtDialogs::openPicture(const QString &title, const QString &folder)
{
    return runFileDialog(QFileDialog::AcceptOpen, title, folder, {}, ImageFilter,
                         QStringLiteral("png"));
}

QString QtDialogs::saveDocument(const QString &title, const QString &folder,
                                const QString &proposedName)
{
    return runFileDialog(QFileDialog::AcceptSave, title, folder, proposedName, PdfFilter,
                         QStringLiteral("pdf"));
}

bool QtDialogs::showDocument(const QString &path)
{
    return QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}

std::optional<QString> QtDialogs::query(const QString &caption, const QString &prompt,
                                        const QString &value)
{
    QInputDialog dialog(QApplication::activeWindow());
    withCloseButtonOnly(dialog);
    dialog.setWindowTitle(caption);
    dialog.setLabelText(prompt);
    dialog.setInputMode(QInputDialog::TextInput);
    dialog.setTextValue(value);
    // The query asks for records' names: wide enough for a name of the most characters a
    // record keeps.
    if (auto *edit = dialog.findChild<QLineEdit *>()) {
        const int longest = TableField(RecordField::Name).def().size;
        int width = editWidthFor(*edit, {QString(longest, QLatin1Char('n'))});
        if (const QScreen *screen = dialog.screen())
            width = std::min(width, screen->availableGeometry().width() * 4 / 5);
        edit->setMinimumWidth(width);
    }
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return dialog.textValue();
}

int QtDialogs::exec(QDialog &dialog)
{
    return dialog.exec();
}

void QtDialogs::setBusy(bool busy)
{
    if (busy) {
        QApplication::setOverrideCursor(Qt::WaitCursor);
        ++m_busyDepth;
    } else if (m_busyDepth > 0) {
        QApplication::restoreOverrideCursor();
        --m_busyDepth;
    }
}

void QtDialogs::processEvents()
{
    QCoreApplication::processEvents();
}

QString OpenTextFileDialog(Dialogs &dialogs, const QString &what, const QString &folder)
{
    return dialogs.openFile(QStringLiteral("Load ") + what + QStringLiteral(" from Text File"),
                            folder);
}

QString SaveTextFileDialog(Dialogs &dialogs, const QString &what, const QString &folder,
                           const QString &proposedName)
{
    return dialogs.saveFile(QStringLiteral("Save ") + what + QStringLiteral(" in Text File"),
                            folder, proposedName);
}

} // namespace kelvora
