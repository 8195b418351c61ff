#pragma once

#include <QString>

#include <optional>

class QDialog;

namespace kelvora {

// Every message box, confirmation, file dialog, text query, busy cursor and event-processing
// call of the windows goes through this interface, so that tests can answer them.
class Dialogs
{
public:
    virtual ~Dialogs();

    // A plain box captioned "Kelvora" with an OK button. Lines in `text` are separated by
    // "\r".
    virtual void message(const QString &text) = 0;

    enum class Buttons { YesNo, OkCancel };
    // A box with the question icon; true for Yes or OK.
    virtual bool confirm(const QString &text, Buttons buttons) = 0;

    // The chosen path, or an empty string when the user cancels.
    virtual QString openFile(const QString &title, const QString &folder) = 0;
    virtual QString saveFile(const QString &title, const QString &folder,
                             const QString &proposedName) = 0;
    // The save dialog for a picture, offering "PNG Image (*.png)" and "SVG Drawing (*.svg)";
    // the path ends in the extension of the chosen type.
    virtual QString savePicture(const QString &title, const QString &folder,
                                const QString &proposedName) = 0;
    // The open dialog for a picture (PNG, JPEG, SVG, BMP).
    virtual QString openPicture(const QString &title, const QString &folder) = 0;
    // The save dialog for a PDF document; the path ends in ".pdf".
    virtual QString saveDocument(const QString &title, const QString &folder,
                                 const QString &proposedName) = 0;
    // Shows a saved document in the system's viewer; false when none could be started.
    virtual bool showDocument(const QString &path) = 0;

    // A one-line text query; nothing when the user cancels.
    virtual std::optional<QString> query(const QString &caption, const QString &prompt,
                                         const QString &value) = 0;

    // Shows a modal window (erase dialog, warning, About box, chart editor, picture settings)
    // until it closes and returns its result code (QDialog::Accepted or QDialog::Rejected).
    virtual int exec(QDialog &dialog) = 0;

    // The application-wide busy cursor.
    virtual void setBusy(bool busy) = 0;
    // Runs the pending user-interface events from inside an operation.
    virtual void processEvents() = 0;
};

// The real dialogs: message boxes, file dialogs and the text query of Qt. When nobody can
// answer them (the program runs on a platform that shows no window) a message or a question
// goes to standard error instead, and a question is answered No.
class QtDialogs : public Dialogs
{
public:
    explicit QtDialogs(bool answerable = true) : m_answerable(answerable) {}

    void message(const QString &text) override;
    bool confirm(const QString &text, Buttons buttons) override;
    QString openFile(const QString &title, const QString &folder) override;
    QString saveFile(const QString &title, const QString &folder,
                     const QString &proposedName) override;
    QString savePicture(const QString &title, const QString &folder,
                        const QString &proposedName) override;
    QString openPicture(const QString &title, const QString &folder) override;
    QString saveDocument(const QString &title, const QString &folder,
                         const QString &proposedName) override;
    bool showDocument(const QString &path) override;
    std::optional<QString> query(const QString &caption, const QString &prompt,
                                 const QString &value) override;
    int exec(QDialog &dialog) override;
    void setBusy(bool busy) override;
    void processEvents() override;

private:
    bool m_answerable;
    int m_busyDepth = 0;
};

// False on a platform that shows no window (offscreen, minimal): nobody could answer a box.
bool windowsCanBeAnswered();

// The text of a message as a label shows it: "\r" line separators become line breaks.
QString shownText(const QString &text);

// The open dialog for a text file, titled "Load " + what + " from Text File"
// (what = "Record", "Signals").
QString OpenTextFileDialog(Dialogs &dialogs, const QString &what, const QString &folder);

// The save dialog for a text file, titled "Save " + what + " in Text File"
// (what = "Record", "Results"), with `proposedName` in the name box.
QString SaveTextFileDialog(Dialogs &dialogs, const QString &what, const QString &folder,
                           const QString &proposedName);

} // namespace kelvora
