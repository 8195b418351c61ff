#pragma once

#include "calibration/run.h"
#include "core/global.h"
#include "database/database.h"
#include "records/interpolation.h"
#include "records/operations.h"
#include "records/reports.h"

#include "scripteddialogs.h"
#include "tables/rows.h"
#include "ui/boundedit.h"
#include "ui/chart.h"
#include "ui/grid.h"
#include "ui/main.h"
#include "ui/navigator.h"
#include "ui/radiogroup.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QRadioButton>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>

namespace kelvora::test {

// The record file that every test imports unless it needs another.
inline const char *const MinimalRecord = "0.65   // Mean wavelength (um)\n"
                                         "0.01   // Bandwidth (um)\n"
                                         "3      // Number of reference temperatures\n"
                                         "2.4E-3   1235.0\n"
                                         "6.1E-3   1358.0\n"
                                         "1.85E-2  1500.0\n";

// Every test runs the real window in a program folder of its own (a temporary folder with
// DB, Data/Input/Signals and Data/Output/Interpolation), answering its dialogs from a script.
class MainWindowTest : public ::testing::Test
{
protected:
    QTemporaryDir dir;
    ScriptedDialogs dialogs;
    std::unique_ptr<TFMain> window;

    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        for (const char *folder : {"DB", "Data/Input/Signals", "Data/Output/Interpolation"})
            ASSERT_TRUE(QDir(dir.path()).mkpath(QLatin1String(folder)));
    }

    QString programFile() const { return dir.filePath(QStringLiteral("kelvora")); }
    QString dbPath() const { return dir.filePath(QStringLiteral("DB/kelvora.dbs")); }
    std::string dbFile() const { return dbPath().toStdString(); }

    // Creates the main window as the program does at start.
    TFMain &start()
    {
        window = std::make_unique<TFMain>(dialogs, programFile());
        return *window;
    }

    // Starts with an empty database file, so that no "not found" message is shown.
    TFMain &startEmpty()
    {
        saveDatabase(dbFile(), StoreData{});
        return start();
    }

    // The window's controls, found by their object names.
    template <typename Control>
    Control *control(const char *name) const
    {
        auto *found = dynamic_cast<Control *>(window->findChild<QObject *>(QLatin1String(name)));
        EXPECT_NE(found, nullptr) << name;
        return found;
    }
    QLabel *spNotice() const { return control<QLabel>("spNotice"); }
    QLabel *spCertificate() const { return control<QLabel>("spCertificate"); }
    QWidget *pLeft() const { return control<QWidget>("pLeft"); }
    QLineEdit *edFind() const { return control<QLineEdit>("edFind"); }
    RadioGroup *rgSort() const { return control<RadioGroup>("rgSort"); }
    Grid *dbgMain() const { return control<Grid>("dbgMain"); }
    BoundMemo *m() const { return control<BoundMemo>("m"); }
    Navigator *dbnMain() const { return control<Navigator>("dbnMain"); }
    BoundPane *dbspRecNoMain() const { return control<BoundPane>("dbspRecNoMain"); }
    BoundPane *dbspRecordCountMain() const { return control<BoundPane>("dbspRecordCountMain"); }
    QPushButton *btnLoadMain() const { return control<QPushButton>("btnLoadMain"); }
    QPushButton *btnSaveMain() const { return control<QPushButton>("btnSaveMain"); }
    QPushButton *btnEraseMain() const { return control<QPushButton>("btnEraseMain"); }
    QPushButton *btnCertificate() const { return control<QPushButton>("btnCertificate"); }
    QPushButton *btnCertificates() const { return control<QPushButton>("btnCertificates"); }
    QPushButton *btnLaboratory() const { return control<QPushButton>("btnLaboratory"); }
    QPushButton *btnUncertainties() const { return control<QPushButton>("btnUncertainties"); }
    QWidget *p() const { return control<QWidget>("p"); }
    QTabWidget *pc() const { return control<QTabWidget>("pc"); }
    QWidget *tsCalibration() const { return control<QWidget>("tsCalibration"); }
    QWidget *tsMeasurements() const { return control<QWidget>("tsMeasurements"); }
    Grid *dbgBB() const { return control<Grid>("dbgBB"); }
    Navigator *dbnBB() const { return control<Navigator>("dbnBB"); }
    BoundPane *dbspRecNoBB() const { return control<BoundPane>("dbspRecNoBB"); }
    BoundPane *dbspRecordCountBB() const { return control<BoundPane>("dbspRecordCountBB"); }
    QLabel *spFileName() const { return control<QLabel>("spFileName"); }
    QPushButton *btnCompute() const { return control<QPushButton>("btnCompute"); }
    QPushButton *btnEraseBB() const { return control<QPushButton>("btnEraseBB"); }
    Grid *dbgInterp() const { return control<Grid>("dbgInterp"); }
    Navigator *dbnIterp() const { return control<Navigator>("dbnIterp"); }
    BoundPane *dbspRecNoInterp() const { return control<BoundPane>("dbspRecNoInterp"); }
    BoundPane *dbspRecordCountInterp() const
    {
        return control<BoundPane>("dbspRecordCountInterp");
    }
    QPushButton *btnLoadInterp() const { return control<QPushButton>("btnLoadInterp"); }
    QPushButton *btnSaveInterp() const { return control<QPushButton>("btnSaveInterp"); }
    QPushButton *btnComputeInterp() const { return control<QPushButton>("btnComputeInterp"); }
    QPushButton *btnEraseInterp() const { return control<QPushButton>("btnEraseInterp"); }
    MainChart *chAll() const { return control<MainChart>("chAll"); }
    QPushButton *btnEditUnc() const { return control<QPushButton>("btnEditUnc"); }
    RadioGroup *rgABC() const { return control<RadioGroup>("rgABC"); }
    QLineEdit *edA() const { return control<QLineEdit>("edA"); }
    QLineEdit *edB() const { return control<QLineEdit>("edB"); }
    QLineEdit *edC() const { return control<QLineEdit>("edC"); }
    BoundEdit *RzDBEdit7() const { return control<BoundEdit>("RzDBEdit7"); }
    BoundEdit *RzDBEdit8() const { return control<BoundEdit>("RzDBEdit8"); }
    BoundEdit *RzDBEdit9() const { return control<BoundEdit>("RzDBEdit9"); }
    BoundEdit *RzDBEdit13() const { return control<BoundEdit>("RzDBEdit13"); }
    QPushButton *btnAbout() const { return control<QPushButton>("btnAbout"); }
    QPushButton *btnExit() const { return control<QPushButton>("btnExit"); }

    // The item of a radio group a user finds by its caption.
    static QRadioButton *itemCaptioned(const RadioGroup *group, const char *caption)
    {
        for (QRadioButton *item : group->findChildren<QRadioButton *>()) {
            if (item->text() == QLatin1String(caption))
                return item;
        }
        ADD_FAILURE() << "no item " << caption;
        return nullptr;
    }

    RecordStore &records() { return window->records(); }
    Table &cdsMain() { return window->records().cdsMain; }
    Table &cdsBB() { return window->records().cdsBB; }
    Table &cdsInterp() { return window->records().cdsInterp; }

    QString writeFile(const QString &relativePath, const QByteArray &content)
    {
        const QString path = dir.filePath(relativePath);
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly)) << path.toStdString();
        file.write(content);
        return path;
    }

    QByteArray readFile(const QString &path)
    {
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << path.toStdString();
        return file.readAll();
    }

    // Imports a record file through the Load button, naming the record `name`.
    void importRecord(const QString &name, const QByteArray &content = MinimalRecord)
    {
        const QString path = writeFile(QStringLiteral("Data/Input/") + name
                                           + QStringLiteral(".txt"), content);
        dialogs.openAnswers.push_back(path);
        dialogs.queryAnswers.push_back(name);
        btnLoadMain()->click();
    }

    // Saves made-up calibration results into the current record, as Save in Database does:
    // the Saunders-White guess as the Levenberg-Marquardt triple and a slightly different
    // particle swarm triple, found with the seed 2024.
    void makeComputed()
    {
        Table &bb = cdsBB();
        RunResults results;
        for (int i = 1; i <= bb.recordCount(); ++i) {
            bb.setRecNo(i);
            const ReferencePointRow point(bb);
            results.reference.append(point.S(), point.T());
        }
        const RecordRow record(cdsMain());
        results.LMResult[1] = record.AS();
        results.LMResult[2] = record.BS();
        results.LMResult[3] = record.CS();
        results.PSOResult = results.LMResult;
        results.PSOResult[1] *= 1.00001L;
        results.LMMeanRMS = 12.5L;
        results.PSOMeanRMS = 13.25L;
        results.Seed = 2024;
        SaveResults(records(), results, currentDateTime());
        window->rgABCClick();
    }

    // Loads a signal list with these lines through the Load button of the measurements.
    void loadSignals(const QByteArray &content)
    {
        dialogs.openAnswers.push_back(
            writeFile(QStringLiteral("Data/Input/Signals/list.txt"), content));
        btnLoadInterp()->click();
    }

    // Returns to the event loop once, as the program does after every user action.
    static void returnToEventLoop() { QCoreApplication::processEvents(); }

    StoreData savedData() { return loadDatabase(dbFile()); }

    // The messages shown so far, for the output of a failed check.
    std::string messagesShown() const
    {
        return dialogs.messages.join(QLatin1Char('|')).toStdString();
    }
};

} // namespace kelvora::test
