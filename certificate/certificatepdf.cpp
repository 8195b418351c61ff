#include "certificate/certificatepdf.h"

#include "certificate/logo.h"
#include "certificate/pageflow.h"
#include "certificate/residualplot.h"
#include "core/errors.h"
#include "database/database.h"

#include <QBuffer>
#include <QCryptographicHash>
#include <QHashSeed>
#include <QImage>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QPdfWriter>

#include <algorithm>
#include <numeric>

namespace kelvora {

namespace {

// The resolution of the PDF: device units fine enough that no length is rounded visibly.
constexpr int PdfResolution = 1200;
// The box the logo is printed in at most (mm), and the resolution of its picture there: as
// fine as a printer shows it.
constexpr double LogoBoxWidth = 45;
constexpr double LogoBoxHeight = 22;
constexpr double LogoDotsPerInch = 300;
constexpr double MillimetresPerInch = 25.4;

const QColor Navy(0, 0, 128);
const QColor FooterGrey(80, 80, 80);
const QColor HeaderFill(232, 232, 232);
const QColor RowRule(200, 200, 200);

QString qtext(const std::string &text)
{
    return QString::fromStdString(text);
}

// Lays the document out on a flow: once to count the pages, once to paint them.
class DocumentLayout
{
public:
    DocumentLayout(PageFlow &flow, const CertificateDocument &document, const QImage &logo)
        : m_flow(flow), m_document(document), m_logo(logo), m_fonts(flow.fonts())
    {
    }

    void run()
    {
        header();
        for (const CertificateSection &section : m_document.sections)
            this->section(section);
    }

private:
    double spacing() const { return m_flow.pt(5); }
    double lineHeight() const { return m_flow.lineHeight(m_fonts.body); }
    double left() const { return m_flow.content().left(); }
    double width() const { return m_flow.content().width(); }
    QPainter *painter() const { return m_flow.painter(); }

    void header()
    {
        const double mm = m_flow.pt(72.0 / MillimetresPerInch);
        const double top = m_flow.y();
        double textLeft = left();
        double logoHeight = 0;
        if (!m_logo.isNull()) {
            const QSizeF room(LogoBoxWidth * mm, LogoBoxHeight * mm);
            const QSizeF size = QSizeF(m_logo.size()).scaled(room, Qt::KeepAspectRatio);
            if (painter() != nullptr)
                painter()->drawImage(QRectF(QPointF(left(), top), size), m_logo);
            textLeft += size.width() + 6 * mm;
            logoHeight = size.height();
        }
        const double textWidth = left() + width() - textLeft;
        // The laboratory's name and address go on on the next page where they do not fit,
        // rather than into the foot of this one.
        bool continued = false;
        const auto headerLines = [&](const std::string &text, const QFont &font) {
            const double height = m_flow.lineHeight(font);
            for (const QString &line : m_flow.wrap(qtext(text), font, textWidth)) {
                if (height > m_flow.remaining()) {
                    m_flow.newPage();
                    continued = true;
                }
                m_flow.drawLine(line, font, textLeft, textWidth, m_flow.y());
                m_flow.advance(height);
            }
        };
        headerLines(m_document.laboratoryName, m_fonts.name);
        headerLines(m_document.laboratoryAddress, m_fonts.body);
        if (!continued)
            m_flow.advance(std::max(0.0, top + logoHeight - m_flow.y()));
        // The rule, the title and the first line under it stay on one page.
        const double titleHeight = m_flow.lineHeight(m_fonts.title);
        m_flow.keepTogether(12 * mm + titleHeight + lineHeight());
        m_flow.advance(3 * mm);
        rule(m_flow.y(), left(), width(), QPen(Navy, m_flow.pt(1)));
        m_flow.advance(6 * mm);
        m_flow.drawLine(qtext(m_document.title), m_fonts.title, left(), width(), m_flow.y(),
                        Qt::AlignHCenter, Navy);
        m_flow.advance(titleHeight + 3 * mm);
        labelledValues(m_document.issue);
        if (!m_document.notice.empty()) {
            m_flow.advance(2 * mm);
            block(Paragraph{m_document.notice});
        }
        m_flow.advance(2 * mm);
    }

    void rule(double y, double x, double length, const QPen &pen) const
    {
        if (painter() == nullptr)
            return;
        painter()->setPen(pen);
        painter()->drawLine(QPointF(x, y), QPointF(x + length, y));
    }

    void section(const CertificateSection &section)
    {
        const double headingHeight = m_flow.lineHeight(m_fonts.heading) + m_flow.pt(3);
        const double before = m_flow.pt(8);
        m_flow.keepTogether(before + headingHeight + leadHeight(section.blocks, 0));
        if (m_flow.y() > m_flow.content().top())
            m_flow.advance(before);
        m_flow.drawLine(qtext(section.heading), m_fonts.heading, left(), width(), m_flow.y(),
                        Qt::AlignLeft, Navy);
        m_flow.advance(headingHeight);
        for (std::size_t i = 0; i < section.blocks.size(); ++i) {
            m_flow.keepTogether(leadHeight(section.blocks, i));
            std::visit([this](const auto &block) { this->block(block); }, section.blocks[i]);
            m_flow.advance(spacing());
        }
    }

    // The height that must stay on one page at the start of block i: its own start, and for
    // a short paragraph that introduces the next block, the start of that block too.
    double leadHeight(const std::vector<CertificateBlock> &blocks, std::size_t i) const
    {
        if (i >= blocks.size())
            return 0;
        const double own = std::visit([this](const auto &block) { return startHeight(block); },
                                      blocks[i]);
        const auto *paragraph = std::get_if<Paragraph>(&blocks[i]);
        if (paragraph != nullptr && i + 1 < blocks.size()
            && m_flow.wrap(qtext(paragraph->text), m_fonts.body, width()).size() <= 4)
            return own + spacing() + leadHeight(blocks, i + 1);
        return own;
    }

    double startHeight(const Paragraph &paragraph) const
    {
        const auto lines = m_flow.wrap(qtext(paragraph.text), m_fonts.body, width()).size();
        return static_cast<double>(std::min<std::size_t>(lines, 4)) * lineHeight();
    }
    double startHeight(const LabelledValues &) const { return lineHeight(); }
    double startHeight(const TextTable &table) const
    {
        const Columns columns = columnsOf(table);
        return headerHeight(table, columns)
               + (table.rows.empty() ? 0 : rowHeight(table.rows.front(), columns));
    }
    double startHeight(const ResidualChart &) const { return chartHeight(); }
    double startHeight(const Signatures &) const { return signaturesHeight(); }

    void block(const Paragraph &paragraph)
    {
        for (const QString &line : m_flow.wrap(qtext(paragraph.text), m_fonts.body, width())) {
            if (lineHeight() > m_flow.remaining())
                m_flow.newPage();
            m_flow.drawLine(line, m_fonts.body, left(), width(), m_flow.y());
            m_flow.advance(lineHeight());
        }
    }

    void labelledValues(const LabelledValues &values)
    {
        double labelWidth = 0;
        for (const auto &[label, value] : values.rows)
            labelWidth = std::max(labelWidth, m_flow.textWidth(qtext(label), m_fonts.bold));
        labelWidth = std::min(labelWidth + m_flow.pt(10), width() * 0.4);
        const double valueWidth = width() - labelWidth;
        for (const auto &[label, value] : values.rows) {
            const QStringList labelLines = m_flow.wrap(qtext(label), m_fonts.bold,
                                                       labelWidth - m_flow.pt(10));
            const QStringList valueLines = m_flow.wrap(qtext(value), m_fonts.body, valueWidth);
            const qsizetype lines = std::max(labelLines.size(), valueLines.size());
            for (qsizetype i = 0; i < lines; ++i) {
                if (lineHeight() > m_flow.remaining())
                    m_flow.newPage();
                if (i < labelLines.size())
                    m_flow.drawLine(labelLines[i], m_fonts.bold, left(), labelWidth,
                                    m_flow.y());
                if (i < valueLines.size())
                    m_flow.drawLine(valueLines[i], m_fonts.body, left() + labelWidth,
                                    valueWidth, m_flow.y());
                m_flow.advance(lineHeight());
            }
            m_flow.advance(m_flow.pt(1.5));
        }
    }

    void block(const LabelledValues &values) { labelledValues(values); }

    // ---- tables ----

    struct Columns
    {
        std::vector<double> widths;
        double padding = 0;
    };

    double cellPadding() const { return m_flow.pt(4); }
    // Room beyond a text's measured width, so that the line breaker keeps it on one line.
    double slack() const { return m_flow.pt(0.5); }
    double rowPadding() const { return m_flow.pt(1.5); }

    // Every column as wide as its widest text; when the table is wider than the page, the
    // text columns share what the numbers leave and wrap.
    Columns columnsOf(const TextTable &table) const
    {
        Columns columns;
        columns.padding = cellPadding();
        for (std::size_t c = 0; c < table.header.size(); ++c) {
            double widest = 0;
            for (const QString &word : qtext(table.header[c]).split(QLatin1Char(' ')))
                widest = std::max(widest, m_flow.textWidth(word, m_fonts.bold));
            for (const auto &row : table.rows)
                widest = std::max(widest, m_flow.textWidth(qtext(row[c]), m_fonts.body));
            columns.widths.push_back(widest + 2 * columns.padding + slack());
        }
        // A header wider than its cells wraps at its blanks, unless the table has room.
        const double total = std::accumulate(columns.widths.begin(), columns.widths.end(), 0.0);
        double spare = width() - total;
        for (std::size_t c = 0; c < table.header.size() && spare > 0; ++c) {
            const double full = m_flow.textWidth(qtext(table.header[c]), m_fonts.bold)
                                + 2 * columns.padding + slack();
            const double wider = std::min(full - columns.widths[c], spare);
            if (wider > 0) {
                columns.widths[c] += wider;
                spare -= wider;
            }
        }
        if (spare < 0) {
            double fixed = 0;
            int texts = 0;
            for (std::size_t c = 0; c < columns.widths.size(); ++c) {
                if (table.numeric[c])
                    fixed += columns.widths[c];
                else
                    ++texts;
            }
            for (std::size_t c = 0; c < columns.widths.size() && texts > 0; ++c) {
                if (!table.numeric[c])
                    columns.widths[c] = std::max((width() - fixed) / texts, m_flow.pt(40));
            }
        }
        return columns;
    }

    std::vector<QStringList> cellLines(const std::vector<std::string> &cells,
                                       const Columns &columns, const QFont &font) const
    {
        std::vector<QStringList> lines;
        for (std::size_t c = 0; c < cells.size(); ++c)
            lines.push_back(m_flow.wrap(qtext(cells[c]), font,
                                        columns.widths[c] - 2 * columns.padding));
        return lines;
    }

    double linesHeight(const std::vector<QStringList> &lines, const QFont &font) const
    {
        qsizetype most = 1;
        for (const QStringList &cell : lines)
            most = std::max(most, cell.size());
        return static_cast<double>(most) * m_flow.lineHeight(font) + 2 * rowPadding();
    }

    double headerHeight(const TextTable &table, const Columns &columns) const
    {
        return linesHeight(cellLines(table.header, columns, m_fonts.bold), m_fonts.bold);
    }

    double rowHeight(const std::vector<std::string> &row, const Columns &columns) const
    {
        return linesHeight(cellLines(row, columns, m_fonts.body), m_fonts.body);
    }

    void paintRow(const TextTable &table, const std::vector<QStringList> &lines,
                  const Columns &columns, const QFont &font, double height)
    {
        const double top = m_flow.y();
        double x = left();
        for (std::size_t c = 0; c < lines.size(); ++c) {
            const double inner = columns.widths[c] - 2 * columns.padding;
            double y = top + rowPadding();
            for (const QString &line : lines[c]) {
                m_flow.drawLine(line, font, x + columns.padding, inner, y,
                                table.numeric[c] ? Qt::AlignRight : Qt::AlignLeft);
                y += m_flow.lineHeight(font);
            }
            x += columns.widths[c];
        }
        m_flow.advance(height);
    }

    void tableHeader(const TextTable &table, const Columns &columns, double tableWidth)
    {
        const std::vector<QStringList> lines = cellLines(table.header, columns, m_fonts.bold);
        const double height = linesHeight(lines, m_fonts.bold);
        if (painter() != nullptr) {
            painter()->fillRect(QRectF(left(), m_flow.y(), tableWidth, height), HeaderFill);
            rule(m_flow.y(), left(), tableWidth, QPen(Qt::black, m_flow.pt(0.6)));
            rule(m_flow.y() + height, left(), tableWidth, QPen(Qt::black, m_flow.pt(0.6)));
        }
        paintRow(table, lines, columns, m_fonts.bold, height);
    }

    void block(const TextTable &table)
    {
        const Columns columns = columnsOf(table);
        const double tableWidth =
            std::accumulate(columns.widths.begin(), columns.widths.end(), 0.0);
        tableHeader(table, columns, tableWidth);
        for (const auto &row : table.rows) {
            const std::vector<QStringList> lines = cellLines(row, columns, m_fonts.body);
            const double height = linesHeight(lines, m_fonts.body);
            if (height > m_flow.remaining()) {
                m_flow.newPage();
                tableHeader(table, columns, tableWidth);
            }
            paintRow(table, lines, columns, m_fonts.body, height);
            rule(m_flow.y(), left(), tableWidth, QPen(RowRule, m_flow.pt(0.3)));
        }
        rule(m_flow.y(), left(), tableWidth, QPen(Qt::black, m_flow.pt(0.6)));
    }

    // ---- chart and signatures ----

    double chartHeight() const { return std::min(width() * 0.5, m_flow.pt(200)); }

    void block(const ResidualChart &chart)
    {
        const double height = chartHeight();
        paintResidualChart(m_flow, QRectF(left(), m_flow.y(), width(), height), chart);
        m_flow.advance(height);
    }

    double signatureSpace() const { return m_flow.pt(40); }

    double signaturesHeight() const
    {
        return m_flow.pt(6) + lineHeight() + signatureSpace() + lineHeight();
    }

    void block(const Signatures &signatures)
    {
        const auto count = static_cast<double>(signatures.signatories.size());
        const double gap = m_flow.pt(24);
        const double columnWidth = (width() - gap * (count - 1)) / count;
        const double top = m_flow.y() + m_flow.pt(6);
        double x = left();
        for (const auto &[role, name] : signatures.signatories) {
            m_flow.drawLine(qtext(role), m_fonts.bold, x, columnWidth, top);
            const double line = top + lineHeight() + signatureSpace();
            rule(line, x, columnWidth, QPen(Qt::black, m_flow.pt(0.5)));
            const QStringList names = m_flow.wrap(qtext(name), m_fonts.body, columnWidth);
            if (!names.isEmpty())
                m_flow.drawLine(names.front(), m_fonts.body, x, columnWidth,
                                line + m_flow.pt(2));
            x += columnWidth + gap;
        }
        m_flow.advance(signaturesHeight());
    }

    PageFlow &m_flow;
    const CertificateDocument &m_document;
    const QImage &m_logo;
    const CertificateFonts &m_fonts;
};

// The PDF writer keeps the fonts of a document in a hash and writes them in the hash's
// order. With the hash seed fixed while it works, the same certificate comes out byte for
// byte in every process (apart from its creation time and identifier).
class FixedHashSeed
{
public:
    FixedHashSeed() { QHashSeed::setDeterministicGlobalSeed(); }
    ~FixedHashSeed() { QHashSeed::resetRandomGlobalSeed(); }
    FixedHashSeed(const FixedHashSeed &) = delete;
    FixedHashSeed &operator=(const FixedHashSeed &) = delete;
};

// What every page carries beside the flow: a rule, the running title and the page number.
void decoratePage(const CertificateDocument &document, PageFlow &flow, int page, int pages)
{
    QPainter *painter = flow.painter();
    if (painter == nullptr)
        return;
    const QRectF content = flow.content();
    const double y = content.bottom() + flow.pt(12);
    painter->setPen(QPen(FooterGrey, flow.pt(0.4)));
    painter->drawLine(QPointF(content.left(), y), QPointF(content.right(), y));
    const QFont &font = flow.fonts().small;
    const double textTop = y + flow.pt(3);
    const QString title = QString::fromStdString(document.runningTitle);
    const QString number = QString::fromStdString(PageNumberText(page, pages));
    const double numberWidth = flow.textWidth(number, font);
    const QStringList titleLines =
        flow.wrap(title, font, content.width() - numberWidth - flow.pt(12));
    if (!titleLines.isEmpty())
        flow.drawLine(titleLines.front(), font, content.left(), content.width(), textTop,
                      Qt::AlignLeft, FooterGrey);
    flow.drawLine(number, font, content.left(), content.width(), textTop, Qt::AlignRight,
                  FooterGrey);
}

} // namespace

QPageLayout certificatePageLayout(PageSize size)
{
    return QPageLayout(QPageSize(size == PageSize::Letter ? QPageSize::Letter : QPageSize::A4),
                       QPageLayout::Portrait, QMarginsF(0, 0, 0, 0), QPageLayout::Point);
}

void paintCertificate(QPagedPaintDevice &device, const CertificateDocument &document)
{
    const auto pixels = [](double millimetres) {
        return qRound(millimetres / MillimetresPerInch * LogoDotsPerInch);
    };
    const QImage logo =
        printedLogo(document.logo, QSize(pixels(LogoBoxWidth), pixels(LogoBoxHeight)));
    const auto decoration = [&document](PageFlow &flow, int page, int pages) {
        decoratePage(document, flow, page, pages);
    };
    PageFlow counting(device, nullptr, 0, decoration);
    DocumentLayout(counting, document, logo).run();
    const int pages = counting.finish();

    QPainter painter;
    if (!painter.begin(&device))
        throw Error("The certificate cannot be painted on its device");
    PageFlow flow(device, &painter, pages, decoration);
    DocumentLayout(flow, document, logo).run();
    flow.finish();
    painter.end();
}

std::string renderCertificatePdf(const CertificateDocument &document)
{
    QByteArray bytes;
    {
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        const FixedHashSeed seed;
        QPdfWriter writer(&buffer);
        writer.setPdfVersion(QPagedPaintDevice::PdfVersion_A1b);
        writer.setTitle(QString::fromStdString(document.runningTitle));
        writer.setCreator(QStringLiteral("Kelvora"));
        writer.setResolution(PdfResolution);
        writer.setPageLayout(certificatePageLayout(document.pageSize));
        paintCertificate(writer, document);
    }
    return bytes.toStdString();
}

std::string sha256Hex(const std::string &bytes)
{
    return QCryptographicHash::hash(QByteArrayView(bytes.data(),
                                                   static_cast<qsizetype>(bytes.size())),
                                    QCryptographicHash::Sha256)
        .toHex()
        .toStdString();
}

const CertificateRendering &pdfRendering()
{
    static const CertificateRendering rendering{renderCertificatePdf, sha256Hex};
    return rendering;
}

std::string registeredDocument(const std::string &dbPath, const CertificateEntry &entry)
{
    if (!entry.hasDocument())
        throw Error("The register holds no document of certificate " + entry.number
                    + ": it was issued before the register kept documents");
    std::string bytes = loadCertificateDocument(dbPath, entry);
    if (sha256Hex(bytes) != entry.sha256)
        throw DatabaseError("The database is damaged: the document of certificate "
                            + entry.number + " does not match its SHA-256");
    return bytes;
}

} // namespace kelvora
