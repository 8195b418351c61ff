#pragma once

#include "ui/dialogs.h"

#include <QCoreApplication>
#include <QDialog>
#include <QStringList>

#include <gtest/gtest.h>

#include <deque>
#include <functional>
#include <ostream>
#include <vector>

// Lets GoogleTest print QString values in failure messages.
inline void PrintTo(const QString &text, std::ostream *out)
{
    *out << '"' << text.toStdString() << '"';
}

namespace kelvora::test {

struct Confirmation
{
    QString text;
    Dialogs::Buttons buttons;
};

struct FileRequest
{
    QString title;
    QString folder;
    QString proposedName; // empty for the open dialog
};

struct QueryRequest
{
    QString caption;
    QString prompt;
    QString value;
};

// Dialogs for tests: every request takes the next answer from its queue and is recorded.
// A request with no answer queued fails the running test and is answered as a cancel
// (No, empty path, no text), so an unexpected question never passes unnoticed.
class ScriptedDialogs : public Dialogs
{
public:
    // Answers, taken from the front.
    std::deque<bool> confirmAnswers;
    std::deque<QString> openAnswers;
    std::deque<QString> saveAnswers;
    std::deque<QString> pictureAnswers;
    std::deque<QString> openPictureAnswers;
    std::deque<QString> documentAnswers;
    // Whether a viewer starts for a document shown.
    bool viewerStarts = true;
    std::deque<std::optional<QString>> queryAnswers;
    // A script plays the user in a modal window: sets its controls, presses its buttons.
    // A window shown with no script queued is closed at once, as by its close box.
    using DialogScript = std::function<void(QDialog &)>;
    std::deque<DialogScript> dialogScripts;

    // What was shown, in order.
    QStringList messages;
    std::vector<Confirmation> confirmations;
    std::vector<FileRequest> openRequests;
    std::vector<FileRequest> saveRequests;
    std::vector<FileRequest> pictureRequests;
    std::vector<FileRequest> openPictureRequests;
    std::vector<FileRequest> documentRequests;
    QStringList shownDocuments;
    std::vector<QueryRequest> queries;
    QStringList dialogTitles;

    int busyDepth = 0;      // > 0 while the busy cursor is shown
    int busyCount = 0;      // how often the busy cursor was switched on
    int processEventsCount = 0;
    // Whether processEvents() really runs the pending events of the application.
    bool runEvents = true;

    void message(const QString &text) override { messages << text; }

    bool confirm(const QString &text, Buttons buttons) override
    {
        confirmations.push_back({text, buttons});
        if (confirmAnswers.empty()) {
            ADD_FAILURE() << "unexpected confirmation: " << text.toStdString();
            return false;
        }
        const bool answer = confirmAnswers.front();
        confirmAnswers.pop_front();
        return answer;
    }

    QString openFile(const QString &title, const QString &folder) override
    {
        openRequests.push_back({title, folder, {}});
        return next(openAnswers, "open dialog", title);
    }

    QString saveFile(const QString &title, const QString &folder,
                     const QString &proposedName) override
    {
        saveRequests.push_back({title, folder, proposedName});
        return next(saveAnswers, "save dialog", title);
    }

    QString savePicture(const QString &title, const QString &folder,
                        const QString &proposedName) override
    {
        pictureRequests.push_back({title, folder, proposedName});
        return next(pictureAnswers, "picture dialog", title);
    }

    QString openPicture(const QString &title, const QString &folder) override
    {
        openPictureRequests.push_back({title, folder, {}});
        return next(openPictureAnswers, "picture open dialog", title);
    }

    QString saveDocument(const QString &title, const QString &folder,
                         const QString &proposedName) override
    {
        documentRequests.push_back({title, folder, proposedName});
        return next(documentAnswers, "document dialog", title);
    }

    bool showDocument(const QString &path) override
    {
        shownDocuments << path;
        return viewerStarts;
    }

    std::optional<QString> query(const QString &caption, const QString &prompt,
                                 const QString &value) override
    {
        queries.push_back({caption, prompt, value});
        if (queryAnswers.empty()) {
            ADD_FAILURE() << "unexpected query: " << caption.toStdString();
            return std::nullopt;
        }
        const std::optional<QString> answer = std::move(queryAnswers.front());
        queryAnswers.pop_front();
        if (!answer)
            return std::nullopt;
        return *answer;
    }

    int exec(QDialog &dialog) override
    {
        dialogTitles << dialog.windowTitle();
        dialog.setResult(QDialog::Rejected);
        if (!dialogScripts.empty()) {
            const DialogScript script = std::move(dialogScripts.front());
            dialogScripts.pop_front();
            script(dialog);
        }
        return dialog.result();
    }

    void setBusy(bool busy) override
    {
        if (busy) {
            ++busyDepth;
            ++busyCount;
        } else {
            EXPECT_GT(busyDepth, 0) << "busy cursor restored more often than shown";
            --busyDepth;
        }
    }

    void processEvents() override
    {
        ++processEventsCount;
        if (runEvents)
            QCoreApplication::processEvents();
    }

    // Forgets what was shown (the queued answers stay).
    void clearRecords()
    {
        messages.clear();
        confirmations.clear();
        openRequests.clear();
        saveRequests.clear();
        pictureRequests.clear();
        openPictureRequests.clear();
        documentRequests.clear();
        shownDocuments.clear();
        queries.clear();
        dialogTitles.clear();
        busyCount = 0;
        processEventsCount = 0;
    }

    // True when every queued answer and script has been used.
    bool allAnswersUsed() const
    {
        return confirmAnswers.empty() && openAnswers.empty() && saveAnswers.empty()
               && pictureAnswers.empty() && openPictureAnswers.empty()
               && documentAnswers.empty() && queryAnswers.empty() && dialogScripts.empty();
    }

private:
    static QString next(std::deque<QString> &answers, const char *what, const QString &title)
    {
        if (answers.empty()) {
            ADD_FAILURE() << "unexpected " << what << ": " << title.toStdString();
            return {};
        }
        QString answer = answers.front();
        answers.pop_front();
        return answer;
    }
};

} // namespace kelvora::test
