// Certificate... and Laboratory... of the main window, with the dialogs answered from a
// script, and the certificate the window writes against the command-line tool's.

#include "../casename.h"
#include "records/laboratory.h"
#include "tests/cli_process.h"
#include "tests/pdftext.h"
#include "ui/certificatedialog.h"
#include "ui/laboratorydialog.h"
#include "ui/radiogroup.h"
#include "ui_main_fixture.h"

#include <QBuffer>
#include <QCheckBox>
#include <QImage>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPrintDialog>
#include <QPrinter>
#include <QSpinBox>

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

    const std::string windowPdf = pdfPath("window.pdf");
    answerCertificate(
        [](TFCertificate &certificate) {
            EXPECT_EQ(certificate.lblNumber->text(), QStringLiteral("T-005, a new number"));
            EXPECT_FALSE(certificate.cbNewNumber->isEnabled()) << "the record has no number";
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

    // The command line, on the database the window leaves, issues the same certificate again.
    returnToEventLoop();
    window.reset();
    const auto numberField = static_cast<std::size_t>(fieldIndex(RecordField::CertNo));
    ASSERT_EQ(savedData().records.at(0).values.at(numberField), Value{std::string("T-005")});
    const std::string cliPdf = pdfPath("cli.pdf");
    const ProcessResult result = runProgram(
        KELVORA_CLI, {"certificate", "Lamp", "-o", cliPdf, "--step", "100", "--db", dbFile()},
        dir.path().toStdString());
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

TEST_F(CertificateWindowTest, ASecondCertificateKeepsItsNumberUnlessANewOneIsAsked)
{
    startWithComputedRecord();
    // The window takes the time of issue from the store's clock, here one instant taken once:
    // the last second of a year, when a second reading of the clock may be in the next.
    const DateTime now = fromCivil(CivilTime{2031, 12, 31, 23, 59, 59, 0});
    records().store.clock = [now] { return now; };
    const std::string path = pdfPath("lamp.pdf");
    for (const bool newNumber : {false, false, true}) {
        answerCertificate(
            [newNumber](TFCertificate &certificate) {
                certificate.cbNewNumber->setChecked(newNumber);
                certificate.cbShow->setChecked(false);
            },
            "btnSavePdf");
        dialogs.documentAnswers.push_back(QString::fromStdString(path));
        btnCertificate()->click();
    }
    const int year = toCivil(now).year;
    EXPECT_EQ(RecordRow(cdsMain()).certNo(), "KV-" + std::to_string(year) + "-0002");
    ASSERT_EQ(dialogs.documentRequests.size(), 3u);
    EXPECT_EQ(dialogs.documentRequests[1].proposedName,
              QStringLiteral("KV-%1-0001").arg(year));
    EXPECT_TRUE(dialogs.shownDocuments.isEmpty());
    EXPECT_TRUE(dialogs.messages.isEmpty()) << messagesShown();
}

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
