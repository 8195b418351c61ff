// Certificate... and Laboratory... of the main window, with the dialogs answered from a
// script, and the certificate the window writes against the command-line tool's.

#include "../casename.h"
#include "records/laboratory.h"
#include "tests/cli_process.h"
#include "tests/pdftext.h"
#include "ui/certificatedialog.h"
#include "ui/certificatesdialog.h"
#include "ui/laboratorydialog.h"
#include "ui/radiogroup.h"
#include "ui_main_fixture.h"

#include <QBuffer>
#include <QCheckBox>
#include <QFileInfo>
#include <QImage>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPrintDialog>
#include <QPrinter>
#include <QSpinBox>
#include <QTableWidget>

#include <sys/stat.h>

#include <filesystem>
#include <regex>

namespace kelvora::test {
namespace {

using testcase::CaseName;
using testcase::PrintTo;

// A certificate's bytes without what the PDF stamps on every writing: its creation and
// modification times and its document identifier.
std::string withoutStamps(std::string bytes)
{
    static const std::regex stamps(R"re(D:\d{14}[-+Z][0-9']*)re"
                                   R"re(|\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d[-+Z][0-9:]*)re"
                                   R"re(|/ID \[[^\]]*\])re");
    return std::regex_replace(bytes, stamps, "~");
}

QByteArray pngLogo()
{
    QImage image(120, 60, QImage::Format_RGB32);
    image.fill(QColor(0, 90, 160));
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

class CertificateWindowTest : public MainWindowTest
{
protected:
    // A computed record "Lamp" with two measurements, in a fresh window.
    void startWithComputedRecord()
    {
        startEmpty();
        importRecord(QStringLiteral("Lamp"));
        makeComputed();
        loadSignals("0.0061\n0.0185\n");
        btnComputeInterp()->click();
        dialogs.clearRecords();
    }

    // Answers the certificate dialog: `fill` sets its controls, then `button` is pressed.
    void answerCertificate(std::function<void(TFCertificate &)> fill, const char *button)
    {
        dialogs.dialogScripts.push_back([fill, button](QDialog &dialog) {
            auto &certificate = dynamic_cast<TFCertificate &>(dialog);
            if (fill)
                fill(certificate);
            dialog.findChild<QPushButton *>(QLatin1String(button))->click();
        });
    }

    std::string pdfPath(const char *name) const
    {
        return dir.filePath(QStringLiteral("Data/Output/") + QLatin1String(name)).toStdString();
    }
};

TEST_F(CertificateWindowTest, IssuesTheCertificateAndWritesWhatTheCommandLineWrites)
{
    startWithComputedRecord();
    EXPECT_TRUE(btnCertificate()->isEnabled());

    const QString logo = writeFile(QStringLiteral("logo.png"), pngLogo());
    dialogs.openPictureAnswers.push_back(logo);
    dialogs.dialogScripts.push_back([](QDialog &dialog) {
        auto &laboratory = dynamic_cast<TFLaboratory &>(dialog);
        laboratory.edName->setText(QStringLiteral("Kelvora Laboratory"));
        laboratory.mAddress->setPlainText(QStringLiteral("1 Furnace Lane\nThermopolis"));
        laboratory.btnLogo->click();
        EXPECT_TRUE(laboratory.btnNoLogo->isEnabled()) << "a logo is shown";
        laboratory.edCalibratedBy->setText(QStringLiteral("A. Metrologist"));
        laboratory.edPattern->setText(QStringLiteral("T-{nnn}"));
        laboratory.seNextNumber->setValue(5);
        EXPECT_EQ(laboratory.lblNextCertificate->text(),
                  QStringLiteral("Next certificate: T-005"));
        laboratory.btnOK->click();
    });
    btnLaboratory()->click();
    returnToEventLoop();
    const LaboratorySettings saved = LaboratorySettingsOf(savedData().settings);
    EXPECT_EQ(saved.name, "Kelvora Laboratory");
    EXPECT_EQ(saved.address, "1 Furnace Lane\nThermopolis");
    EXPECT_EQ(saved.logo, pngLogo().toStdString());
    EXPECT_EQ(saved.numberPattern, "T-{nnn}");
    EXPECT_EQ(saved.nextNumber, 5);

    // The command line issues the same certificate from the database as it is now.
    const std::string before = dir.filePath(QStringLiteral("before.dbs")).toStdString();
    std::filesystem::copy_file(dbFile(), before);

    const std::string windowPdf = pdfPath("window.pdf");
    answerCertificate(
        [](TFCertificate &certificate) {
            EXPECT_EQ(certificate.lblNumber->text(), QStringLiteral("T-005, a new number"));
            certificate.edCustomer->setText(QStringLiteral("ACME Pyrometry"));
            certificate.edSerial->setText(QStringLiteral("0042"));
            certificate.seStep->setValue(100);
        },
        "btnSavePdf");
    dialogs.documentAnswers.push_back(QString::fromStdString(windowPdf));
    btnCertificate()->click();

    ASSERT_EQ(dialogs.documentRequests.size(), 1u) << messagesShown();
    EXPECT_EQ(dialogs.documentRequests[0].proposedName, QStringLiteral("T-005"));
    EXPECT_EQ(dialogs.documentRequests[0].folder, dir.filePath(QStringLiteral("Data/Output")));
    EXPECT_EQ(dialogs.shownDocuments, QStringList{QString::fromStdString(windowPdf)});
    EXPECT_TRUE(dialogs.messages.isEmpty()) << messagesShown();
    EXPECT_EQ(RecordRow(cdsMain()).certNo(), "T-005");
    EXPECT_EQ(RecordRow(cdsMain()).customer(), "ACME Pyrometry");
    const std::string text = pdfText(windowPdf);
    for (const char *said : {"Kelvora Laboratory", "ACME Pyrometry", "0042", "T-005",
                             "A. Metrologist", "Page 1 of"})
        EXPECT_NE(text.find(said), std::string::npos) << said;

    // The command line, on the database the window leaves, finds the certificate states the
    // record as it is, and writes it again byte for byte; on the database as it was before,
    // it issues the same certificate.
    returnToEventLoop();
    window.reset();
    const auto numberField = static_cast<std::size_t>(fieldIndex(RecordField::CertNo));
    ASSERT_EQ(savedData().records.at(0).values.at(numberField), Value{std::string("T-005")});
    const std::string cliPdf = pdfPath("cli.pdf");
    const std::vector<std::string> options{"--step", "100", "--customer", "ACME Pyrometry",
                                           "--serial", "0042"};
    const auto cli = [&](std::vector<std::string> args, const std::string &db) {
        args.push_back("--db");
        args.push_back(db);
        return runProgram(KELVORA_CLI, args, dir.path().toStdString());
    };
    std::vector<std::string> again{"certificate", "Lamp", "-o", cliPdf};
    again.insert(again.end(), options.begin(), options.end());
    const ProcessResult refused = cli(again, dbFile());
    EXPECT_EQ(refused.status, 1) << refused.err;
    EXPECT_NE(refused.err.find("Certificate T-005 of record \"Lamp\""), std::string::npos)
        << refused.err;
    const std::string exported = pdfPath("exported.pdf");
    ASSERT_EQ(cli({"certificate", "--export", "T-005", "-o", exported}, dbFile()).status, 0);
    EXPECT_TRUE(readWholeFile(exported) == readWholeFile(windowPdf));

    const ProcessResult result = cli(again, before);
    ASSERT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.out, "Certificate T-005 of record \"Lamp\" written to " + cliPdf + "\n");
    const std::string fromWindow = readWholeFile(windowPdf);
    const std::string fromCommandLine = readWholeFile(cliPdf);
    EXPECT_NE(withoutStamps(fromWindow), fromWindow) << "the stamps are found";
    EXPECT_TRUE(withoutStamps(fromWindow) == withoutStamps(fromCommandLine))
        << "the window's and the command line's certificates differ beyond their stamps";
}

TEST_F(CertificateWindowTest, IsRefusedForARecordWithoutResults)
{
    startEmpty();
    importRecord(QStringLiteral("Raw"));
    EXPECT_FALSE(btnCertificate()->isEnabled());
    window->btnCertificateClick();
    ASSERT_EQ(dialogs.messages.size(), 1);
    EXPECT_TRUE(dialogs.messages[0].contains(QStringLiteral("has no calibration results")));
    EXPECT_TRUE(dialogs.dialogTitles.isEmpty()) << "no dialog opened";
}

struct StopCase
{
    const char *name;
    bool dialogCancelled; // else the file dialog is
};

const StopCase StopCases[] = {{"CertificateDialogCancelled", true},
                              {"FileDialogCancelled", false}};

class CertificateStopped : public CertificateWindowTest,
                           public ::testing::WithParamInterface<StopCase>
{
};

TEST_P(CertificateStopped, IssuesNothing)
{
    startWithComputedRecord();
    answerCertificate(nullptr, GetParam().dialogCancelled ? "btnCancel" : "btnSavePdf");
    if (!GetParam().dialogCancelled)
        dialogs.documentAnswers.push_back(QString());
    btnCertificate()->click();
    EXPECT_EQ(RecordRow(cdsMain()).certNo(), "");
    EXPECT_TRUE(dialogs.shownDocuments.isEmpty());
    EXPECT_EQ(LaboratorySettingsOf(records().store.settings()).nextNumber, 1);
    EXPECT_TRUE(dialogs.allAnswersUsed());
}

INSTANTIATE_TEST_SUITE_P(Stops, CertificateStopped, ::testing::ValuesIn(StopCases),
                         CaseName);

// A record gets a second certificate only when something it states has changed: then one of
// a new number, which replaces the first. The status bar shows the record's latest
// certificate, and when the record has changed since.
TEST_F(CertificateWindowTest, ASecondCertificateOnlyForAChangedRecordAndItReplacesTheFirst)
{
    startWithComputedRecord();
    // The window takes the time of issue from the store's clock, here one instant taken once.
    const DateTime now = currentDateTime();
    records().store.clock = [now] { return now; };
    const int year = toCivil(now).year;
    const QString first = QStringLiteral("KV-%1-0001").arg(year);
    const QString second = QStringLiteral("KV-%1-0002").arg(year);
    const QString today = QString::fromStdString(formatIsoDateTime(now).substr(0, 10));
    returnToEventLoop();
    EXPECT_EQ(spCertificate()->text(), QString()) << "no certificate yet";

    const auto issue = [this](const QString &customer, const QString &expectedNumber) {
        answerCertificate(
            [customer, expectedNumber](TFCertificate &certificate) {
                EXPECT_EQ(certificate.lblNumber->text(), expectedNumber);
                certificate.edCustomer->setText(customer);
                certificate.cbShow->setChecked(false);
            },
            "btnSavePdf");
        dialogs.documentAnswers.push_back(dir.filePath(QStringLiteral("Data/Output/")
                                                       + customer + QStringLiteral(".pdf")));
        btnCertificate()->click();
        returnToEventLoop();
    };
    issue(QStringLiteral("ACME"), first + QStringLiteral(", a new number"));
    EXPECT_EQ(spCertificate()->text(), QStringLiteral("Certificate %1 of %2").arg(first, today));

    // Nothing changed: no file is asked for, and the message names the certificate.
    answerCertificate(nullptr, "btnSavePdf");
    btnCertificate()->click();
    ASSERT_EQ(dialogs.messages.size(), 1) << messagesShown();
    EXPECT_TRUE(dialogs.messages[0].startsWith(QStringLiteral("Certificate ") + first));
    EXPECT_TRUE(dialogs.messages[0].contains(QStringLiteral("Certificates...")));
    EXPECT_EQ(dialogs.documentRequests.size(), 1u);

    // Another customer: a new number, which replaces the first.
    cdsMain().edit();
    RecordRowEditor(cdsMain()).setCustomer("ACME Pyrometry");
    cdsMain().post();
    returnToEventLoop();
    EXPECT_EQ(spCertificate()->text(),
              QStringLiteral("Changed since certificate %1 was issued").arg(first));
    issue(QStringLiteral("ACME Pyrometry"),
          second + QStringLiteral(", a new number replacing %1 of %2").arg(first, today));
    EXPECT_EQ(RecordRow(cdsMain()).certNo(), second.toStdString());
    const std::vector<CertificateEntry> &entries = records().store.certificates();
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[1].replaces, first.toStdString());
    EXPECT_EQ(savedData().certificates.size(), 2u) << "registered in the file";
    EXPECT_EQ(spCertificate()->text(), QStringLiteral("Certificate %1 of %2").arg(second, today));
    EXPECT_NE(flowingText(pdfText(pdfPath("ACME Pyrometry.pdf")))
                  .find("This certificate replaces certificate " + first.toStdString()),
              std::string::npos);
    EXPECT_EQ(dialogs.messages.size(), 1) << messagesShown();
}

// Certificates... lists the register as the command line does, shows a certificate from a
// copy of its registered document and exports it as it was issued.
TEST_F(CertificateWindowTest, CertificatesListsOpensAndExportsTheRegister)
{
    startWithComputedRecord();
    const DateTime now = currentDateTime();
    records().store.clock = [now] { return now; };
    for (const char *customer : {"ACME", "ACME Pyrometry"}) {
        answerCertificate(
            [customer](TFCertificate &certificate) {
                certificate.edCustomer->setText(QLatin1String(customer));
                certificate.cbShow->setChecked(false);
            },
            "btnSavePdf");
        dialogs.documentAnswers.push_back(dir.filePath(QStringLiteral("Data/Output/")
                                                       + QLatin1String(customer)
                                                       + QStringLiteral(".pdf")));
        btnCertificate()->click();
    }
    const std::string issued = readWholeFile(pdfPath("ACME.pdf"));
    const QString exported = dir.filePath(QStringLiteral("Data/Output/exported.pdf"));
    dialogs.documentAnswers.push_back(exported);
    dialogs.dialogScripts.push_back([now](QDialog &dialog) {
        auto &certificates = dynamic_cast<TFCertificates &>(dialog);
        QTableWidget &list = *certificates.lvCertificates;
        ASSERT_EQ(list.rowCount(), 2);
        const int year = toCivil(now).year;
        const QString first = QStringLiteral("KV-%1-0001").arg(year);
        const QString second = QStringLiteral("KV-%1-0002").arg(year);
        EXPECT_EQ(list.item(0, 0)->text(), second) << "newest first";
        EXPECT_EQ(list.item(0, 3)->text(), QStringLiteral("ACME Pyrometry"));
        EXPECT_EQ(list.item(0, 4)->text(), QStringLiteral("issued"));
        EXPECT_EQ(list.item(0, 5)->text(), first);
        EXPECT_EQ(list.item(1, 0)->text(), first);
        EXPECT_EQ(list.item(1, 6)->text(), second);
        list.selectRow(1);
        certificates.btnOpen->click();
        certificates.btnExport->click();
        certificates.btnClose->click();
    });
    btnCertificates()->click();
    EXPECT_TRUE(dialogs.allAnswersUsed()) << messagesShown();
    EXPECT_TRUE(dialogs.messages.isEmpty()) << messagesShown();
    ASSERT_EQ(dialogs.shownDocuments.size(), 1);
    EXPECT_TRUE(readWholeFile(dialogs.shownDocuments[0].toStdString()) == issued);
    EXPECT_EQ(dialogs.documentRequests.back().proposedName,
              QStringLiteral("KV-%1-0001").arg(toCivil(now).year));
    EXPECT_TRUE(readWholeFile(exported.toStdString()) == issued);
}

struct IssueFailureCase
{
    const char *name;
    bool readOnlyDatabase; // else the file's name leaves no room for its temporary name
    const char *says;
    bool registered;
};

const IssueFailureCase IssueFailureCases[] = {
    {"DatabaseNotSaved", true, "No certificate was issued: the database could not be saved.",
     false},
    {"FileNotWritten", false,
     "is issued and registered all the same: Export... in Certificates... writes its file"
     " again.",
     true},
};

class CertificateIssueFailure : public CertificateWindowTest,
                                public ::testing::WithParamInterface<IssueFailureCase>
{
};

// A save that fails issues nothing, and the next certificate has the number this one was to
// have; a file that cannot be written after the save leaves the certificate registered.
TEST_P(CertificateIssueFailure, SaysWhetherTheCertificateIsRegistered)
{
    const IssueFailureCase &c = GetParam();
    startWithComputedRecord();
    const DateTime now = currentDateTime();
    records().store.clock = [now] { return now; };
    returnToEventLoop();
    const QString path = dir.filePath(QStringLiteral("Data/Output/")
                                      + (c.readOnlyDatabase ? QStringLiteral("lamp")
                                                            : QString(250, QLatin1Char('c')))
                                      + QStringLiteral(".pdf"));
    if (c.readOnlyDatabase)
        std::filesystem::permissions(dbFile(), std::filesystem::perms(0444));
    answerCertificate([](TFCertificate &certificate) { certificate.cbShow->setChecked(false); },
                      "btnSavePdf");
    dialogs.documentAnswers.push_back(path);
    btnCertificate()->click();
    std::filesystem::permissions(dbFile(), std::filesystem::perms(0644));
    ASSERT_EQ(dialogs.messages.size(), 1);
    EXPECT_TRUE(dialogs.messages[0].contains(QLatin1String(c.says))) << messagesShown();
    EXPECT_FALSE(QFileInfo::exists(path));
    const std::string number = "KV-" + std::to_string(toCivil(now).year) + "-0001";
    EXPECT_EQ(RecordRow(cdsMain()).certNo(), c.registered ? number : "");
    EXPECT_EQ(savedData().certificates.size(), c.registered ? 1u : 0u);
    EXPECT_EQ(PlanCertificateIssue(records(), now).number,
              c.registered ? "KV-" + std::to_string(toCivil(now).year) + "-0002"
                           : number);
}

INSTANTIATE_TEST_SUITE_P(Steps, CertificateIssueFailure, ::testing::ValuesIn(IssueFailureCases),
                         CaseName);

TEST_F(CertificateWindowTest, AViewerThatDoesNotStartIsReported)
{
    startWithComputedRecord();
    dialogs.viewerStarts = false;
    const std::string path = pdfPath("lamp.pdf");
    answerCertificate(nullptr, "btnSavePdf");
    dialogs.documentAnswers.push_back(QString::fromStdString(path));
    btnCertificate()->click();
    ASSERT_EQ(dialogs.messages.size(), 1);
    EXPECT_EQ(dialogs.messages[0], QStringLiteral("The certificate is saved in ")
                                       + QString::fromStdString(path)
                                       + QStringLiteral(", but no program to show it could be"
                                                        " started."));
    EXPECT_NE(RecordRow(cdsMain()).certNo(), "") << "issued all the same";
}

TEST_F(CertificateWindowTest, AStepThatGivesNoTableKeepsTheDialogOpen)
{
    startWithComputedRecord();
    answerCertificate(
        [this](TFCertificate &certificate) {
            certificate.seStep->setValue(5000);
            certificate.btnSavePdf->click();
            EXPECT_EQ(certificate.result(), QDialog::Rejected) << "still open";
            ASSERT_EQ(dialogs.messages.size(), 1);
            EXPECT_TRUE(dialogs.messages[0].startsWith(QStringLiteral("No multiple of 5000 K")));
        },
        "btnCancel");
    btnCertificate()->click();
    EXPECT_EQ(RecordRow(cdsMain()).certNo(), "");
}

TEST_F(CertificateWindowTest, PrintsTheCertificate)
{
    startWithComputedRecord();
    const std::string path = pdfPath("printed.pdf");
    answerCertificate(
        [](TFCertificate &certificate) {
            certificate.rgMethod->setItemIndex(1);
        },
        "btnPrint");
    dialogs.dialogScripts.push_back([&path](QDialog &dialog) {
        auto &print = dynamic_cast<QPrintDialog &>(dialog);
        print.printer()->setOutputFormat(QPrinter::PdfFormat);
        print.printer()->setOutputFileName(QString::fromStdString(path));
        // Accepted as the user accepts it, without the dialog taking its own fields.
        dialog.done(QDialog::Accepted);
    });
    btnCertificate()->click();
    EXPECT_TRUE(dialogs.allAnswersUsed()) << messagesShown();
    EXPECT_TRUE(dialogs.messages.isEmpty()) << messagesShown();
    const std::string number = RecordRow(cdsMain()).certNo();
    EXPECT_NE(number, "");
    const std::string text = flowingText(pdfText(path));
    EXPECT_NE(text.find("Calibration Certificate " + number), std::string::npos);
    EXPECT_NE(text.find("as chosen by the laboratory"), std::string::npos);
}

TEST_F(CertificateWindowTest, ThePatternOfNumbersMustHoldACounter)
{
    startWithComputedRecord();
    dialogs.dialogScripts.push_back([this](QDialog &dialog) {
        auto &laboratory = dynamic_cast<TFLaboratory &>(dialog);
        laboratory.edPattern->setText(QStringLiteral("KV-{yyyy}"));
        EXPECT_TRUE(laboratory.lblNextCertificate->text().contains(QStringLiteral("counter")));
        laboratory.btnOK->click();
        EXPECT_EQ(dialog.result(), QDialog::Rejected) << "still open";
        ASSERT_EQ(dialogs.messages.size(), 1);
        EXPECT_TRUE(dialogs.messages[0].contains(QStringLiteral("must hold the counter")));
        laboratory.btnCancel->click();
    });
    btnLaboratory()->click();
    EXPECT_EQ(LaboratorySettingsOf(records().store.settings()).numberPattern,
              "KV-{yyyy}-{nnnn}");
}

// A logo that is no picture file is refused with the reason, and the dialog keeps its logo: a
// named pipe at once, without waiting for a program to write into it.
TEST_F(CertificateWindowTest, ALogoThatIsNoPictureFileIsRefused)
{
    startEmpty();
    const QString folder = dir.filePath(QStringLiteral("Data/Input"));
    const QString pipe = dir.filePath(QStringLiteral("logo.png"));
    ASSERT_EQ(::mkfifo(pipe.toLocal8Bit().constData(), 0600), 0);
    dialogs.openPictureAnswers.push_back(folder);
    dialogs.openPictureAnswers.push_back(pipe);
    dialogs.dialogScripts.push_back([](QDialog &dialog) {
        auto &laboratory = dynamic_cast<TFLaboratory &>(dialog);
        laboratory.btnLogo->click();
        laboratory.btnLogo->click();
        EXPECT_FALSE(laboratory.btnNoLogo->isEnabled()) << "still no logo";
        laboratory.btnCancel->click();
    });
    btnLaboratory()->click();
    EXPECT_EQ(dialogs.messages,
              QStringList({QStringLiteral("The logo must be a picture file: ") + folder
                               + QStringLiteral(" is a folder, not a regular file"),
                           QStringLiteral("The logo must be a picture file: ") + pipe
                               + QStringLiteral(" is a named pipe, not a regular file")}));
    EXPECT_TRUE(dialogs.allAnswersUsed());
}

// The laboratory's texts are held to their limits: the line edits take no more, and an address
// longer than it may be is refused naming the limit while the dialog stays open; one at the
// limit is kept whole.
TEST_F(CertificateWindowTest, TheLaboratorysTextsKeepToTheirLimits)
{
    startWithComputedRecord();
    const QString longest(MaxAddressLength, QLatin1Char('a'));
    dialogs.dialogScripts.push_back([&](QDialog &dialog) {
        auto &laboratory = dynamic_cast<TFLaboratory &>(dialog);
        for (QLineEdit *edit :
             {laboratory.edName, laboratory.edCalibratedBy, laboratory.edApprovedBy}) {
            edit->setText(QString(MaxLaboratoryNameLength + 1, QLatin1Char('n')));
            EXPECT_EQ(edit->text().size(), MaxLaboratoryNameLength)
                << edit->objectName().toStdString();
        }
        laboratory.mAddress->setPlainText(longest + QLatin1Char('a'));
        laboratory.btnOK->click();
        EXPECT_EQ(dialog.result(), QDialog::Rejected) << "still open";
        EXPECT_EQ(dialogs.messages,
                  QStringList{QStringLiteral("The address is %1 characters long, more than the "
                                             "%2 it may hold")
                                  .arg(MaxAddressLength + 1)
                                  .arg(MaxAddressLength)});
        laboratory.mAddress->setPlainText(longest);
        laboratory.btnOK->click();
    });
    btnLaboratory()->click();
    EXPECT_TRUE(dialogs.allAnswersUsed());
    const LaboratorySettings kept = LaboratorySettingsOf(records().store.settings());
    EXPECT_EQ(kept.address, longest.toStdString());
    EXPECT_EQ(kept.name, std::string(static_cast<std::size_t>(MaxLaboratoryNameLength), 'n'));
}

} // namespace
} // namespace kelvora::test
