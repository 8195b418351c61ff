#include "ui/dialogs.h"

#include "ui/sizing.h"

#include <QApplication>
#include <QDesktopServices>
#include <QDialog>
#include <QFileDialog>
#include <QGridLayout>
#include <QInputDialog>
#include <QMessageBox>
#include <QSpacerItem>
#include <QUrl>

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
    // A missing file is reported when it is opened; the save mode asks before an existing
    // file is replaced.
    dialog.setFileMode(QFileDialog::AnyFile);
    if (!proposedName.isEmpty())
        dialog.selectFile(proposedName);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return dialog.selectedFiles().constFirst();
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
    bool ok = false;
    const QString text = QInputDialog::getText(QApplication::activeWindow(), caption, prompt,
                                               QLineEdit::Normal, value, &ok);
    if (!ok)
        return std::nullopt;
    return text;
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
