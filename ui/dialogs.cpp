#include "ui/dialogs.h"

#include <QApplication>
#include <QDialog>
#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>

namespace kelvora {

namespace {

const QString Caption = QStringLiteral("Kelvora");
const QString TextFilter = QStringLiteral("Text Files (*.txt);;All Files (*)");

// The file dialogs share everything but their mode.
QString runFileDialog(QFileDialog::AcceptMode mode, const QString &title, const QString &folder,
                      const QString &proposedName)
{
    QFileDialog dialog(QApplication::activeWindow(), title, folder, TextFilter);
    dialog.setAcceptMode(mode);
    dialog.setDefaultSuffix(QStringLiteral("txt"));
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

} // namespace

Dialogs::~Dialogs() = default;

QString shownText(const QString &text)
{
    QString shown = text;
    shown.replace(QChar(13), QChar(10));
    return shown;
}

void QtDialogs::message(const QString &text)
{
    QMessageBox box(QMessageBox::NoIcon, Caption, shownText(text), QMessageBox::Ok,
                    QApplication::activeWindow());
    box.exec();
}

bool QtDialogs::confirm(const QString &text, Buttons buttons)
{
    const bool yesNo = buttons == Buttons::YesNo;
    const QMessageBox::StandardButton accept = yesNo ? QMessageBox::Yes : QMessageBox::Ok;
    const QMessageBox::StandardButton refuse = yesNo ? QMessageBox::No : QMessageBox::Cancel;
    QMessageBox box(QMessageBox::Question, Caption, shownText(text), accept | refuse,
                    QApplication::activeWindow());
    box.setDefaultButton(accept);
    box.setEscapeButton(refuse);
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
