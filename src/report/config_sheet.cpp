#include "config_sheet.h"

#include "config/configuration.h"

#include <QAbstractTextDocumentLayout>
#include <QBuffer>
#include <QFileInfo>
#include <QLocale>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QPdfWriter>
#include <QTextDocument>

#include <set>
#include <tuple>

namespace halvo::report {

namespace {
using config::Part;
using namespace passes;

constexpr double HeaderMm = 18, FooterMm = 10, MarginMm = 12;

// The pass columns the window shows, in its order (the hidden three are left out).
constexpr int PassColumns[] = {ColIndex,          ColUserName,      ColSystemId,       ColUserId,
                               ColSignalTimeout,  ColAlarmSteering, ColOptionModeName, ColOptionTrigger,
                               ColOptionSteering, ColOptionFlags};

QString esc(const QString &text)
{
    return text.toHtmlEscaped();
}

// A hair of letter spacing keeps the shaper from joining "fi" into one glyph, so the
// sheet's text reads back (searched, copied, extracted) as it was written.
QFont sheetFont(int points, int weight = QFont::Normal)
{
    QFont f(QStringLiteral("DejaVu Sans"), points, weight);
    f.setLetterSpacing(QFont::AbsoluteSpacing, 0.05);
    return f;
}

// Marks on the sheet: which fields differ from the unit.
struct Marks
{
    std::set<std::pair<int, int>> passes; // (row, column)
    std::set<int> params, aliases;
    explicit Marks(const std::vector<config::Difference> &notStored)
    {
        for (const config::Difference &d : notStored) {
            if (d.part == Part::Passes)
                passes.insert({d.index, d.column});
            else if (d.part == Part::Settings)
                params.insert(d.index);
            else if (d.part == Part::Locations)
                aliases.insert(d.index);
        }
    }
};

QString cell(const QString &text, bool marked)
{
    return marked ? QStringLiteral("<td class=\"changed\">%1&nbsp;*</td>").arg(esc(text))
                  : QStringLiteral("<td>%1</td>").arg(esc(text));
}

const QString Style = QStringLiteral(
    "<style>h2 { font-size: 11pt; margin-top: 6pt; }"
    " table { border-collapse: collapse; } td, th { padding: 1pt 4pt; border: 0.5pt solid #888; white-space: "
    "pre; }"
    " th { background: #e8e8e8; } td.changed { font-weight: bold; background: #dddddd; }"
    " .warn { font-weight: bold; font-size: 10pt; } .sign td { border: none; padding: 14pt 8pt 2pt 0; "
    "}</style>");

QString warning(const SheetContent &c)
{
    const auto n = c.notStored.size();
    if (n == 0)
        return {};
    return QStringLiteral("<p class=\"warn\">%1 not stored to the unit</p><p>Changed fields are marked with "
                          "an asterisk.</p>")
        .arg(n == 1 ? QStringLiteral("1 change") : QStringLiteral("%1 changes").arg(n));
}

QString passTable(const SheetContent &c, const Marks &m)
{
    QString h = Style + warning(c) + QStringLiteral("<h2>Pass table</h2><table><tr>");
    for (int col : PassColumns)
        h += QStringLiteral("<th>%1</th>").arg(esc(Column_Headers().at(col)));
    h += QStringLiteral("</tr>");
    for (int r = 1; r <= config::PassCount; ++r) {
        h += QStringLiteral("<tr>");
        for (int col : PassColumns)
            h += cell(c.config.passRow(r)[static_cast<size_t>(col)], m.passes.count({r, col}) > 0);
        h += QStringLiteral("</tr>");
    }
    return h + QStringLiteral("</table>");
}

QString settingsAndLocations(const SheetContent &c, const Marks &m)
{
    const config::Configuration &cfg = c.config;
    QString h =
        Style + QStringLiteral("<h2>System settings</h2><table><tr><th>#</th><th>Setting</th><th>Value</th>"
                               "<th>Minimum</th><th>Maximum</th><th>Default</th></tr>");
    auto limit = [&](config::Limit which, int i) {
        return c.source.limitsRead ? cfg.limit(which, i) : QStringLiteral("not read");
    };
    for (int i = 0; i < config::ParamCount; ++i)
        h += QStringLiteral("<tr><td>%1</td><td>%2</td>%3<td>%4</td><td>%5</td><td>%6</td></tr>")
                 .arg(i)
                 .arg(esc(settings::Param_Description(i)), cell(cfg.param(i), m.params.count(i) > 0),
                      esc(limit(config::Limit::Minimum, i)), esc(limit(config::Limit::Maximum, i)),
                      esc(limit(config::Limit::Default, i)));
    h += QStringLiteral(
        "</table><h2>Pass display priority</h2><table><tr><th>Position</th><th>Shows</th></tr>");
    // Read from the bytes themselves, as the unit's display does.
    settings::DisplayPriority order;
    const auto captions = order.classRefresh(cfg.params()).captions;
    for (int p = 1; p <= config::PriorityPositions; ++p)
        h += QStringLiteral("<tr><td>%1</td><td>%2</td></tr>")
                 .arg(p)
                 .arg(esc(captions[static_cast<size_t>(p)].value_or(QStringLiteral("(not a class)"))));
    h += QStringLiteral("</table><h2>Location names</h2><table><tr><th>Code</th><th>Name</th><th>Code</th>"
                        "<th>Name</th></tr>");
    const int half = config::LocationCount / 2;
    for (int s = 0; s < half; ++s) {
        h += QStringLiteral("<tr>");
        for (int slot : {s, s + half})
            h += QStringLiteral("<td>%1</td>").arg(settings::Location_Code_Caption(slot)) +
                 cell(cfg.alias(slot), m.aliases.count(slot) > 0);
        h += QStringLiteral("</tr>");
    }
    return h +
           QStringLiteral(
               "</table><table class=\"sign\"><tr><td>Configured by</td><td>______________________________"
               "</td></tr><tr><td>Date</td><td>______________________________</td></tr><tr>"
               "<td>Signature</td><td>______________________________</td></tr></table>");
}

// One part of the sheet laid out for pages of one orientation.
struct Section
{
    QTextDocument doc;
    QRectF body; // where the text stands on the page, in device pixels
    int pages = 0;
};

void layOut(Section &s, const QString &html, QPagedPaintDevice &device)
{
    const QPageLayout layout = device.pageLayout();
    const QRectF page = layout.paintRectPixels(device.logicalDpiX());
    const double mm = device.logicalDpiX() / 25.4;
    s.body = QRectF(page.left() + MarginMm * mm, page.top() + HeaderMm * mm, page.width() - 2 * MarginMm * mm,
                    page.height() - (HeaderMm + FooterMm) * mm);
    s.doc.documentLayout()->setPaintDevice(&device);
    s.doc.setDefaultFont(sheetFont(8));
    s.doc.setHtml(html);
    s.doc.setPageSize(s.body.size());
    s.pages = s.doc.pageCount();
}

void paintPage(QPainter &p, const Section &s, int index, const SheetContent &c, int number, int total,
               const QPagedPaintDevice &device)
{
    const double mm = device.logicalDpiX() / 25.4;
    const QRectF page = device.pageLayout().paintRectPixels(device.logicalDpiX());
    const QFont title = sheetFont(12, QFont::Bold), small = sheetFont(8);
    const QRectF head(page.left() + MarginMm * mm, page.top() + 4 * mm, page.width() - 2 * MarginMm * mm,
                      (HeaderMm - 6) * mm);
    p.setFont(title);
    p.drawText(head, Qt::AlignLeft | Qt::AlignTop, QStringLiteral("Halvo Configuration"));
    p.setFont(small);
    QString unit = c.source.unitId.trimmed().isEmpty()
                       ? QString()
                       : QStringLiteral("Unit: %1   ").arg(c.source.unitId.trimmed());
    p.drawText(head, Qt::AlignLeft | Qt::AlignBottom, c.source.text());
    p.drawText(head, Qt::AlignRight | Qt::AlignBottom,
               unit + QStringLiteral("Halvo Configuration Tool %1").arg(c.toolVersion));
    const QRectF foot(head.left(), page.bottom() - (FooterMm - 2) * mm, head.width(), 6 * mm);
    p.drawText(foot, Qt::AlignRight | Qt::AlignVCenter,
               QStringLiteral("Page %1 of %2").arg(number).arg(total));
    p.save();
    p.translate(s.body.left(), s.body.top() - index * s.body.height());
    const QRectF visible(0, index * s.body.height(), s.body.width(), s.body.height());
    p.setClipRect(visible);
    QAbstractTextDocumentLayout::PaintContext context;
    context.clip = visible;
    s.doc.documentLayout()->draw(&p, context);
    p.restore();
}
} // namespace

SheetSource SheetSource::From_File(const QString &path)
{
    const QFileInfo file(path);
    return {Kind::File, file.lastModified(), file.fileName(), {}, false, {}, 0};
}

SheetSource SheetSource::From_Unit(const QString &port, const QString &unitId, bool limitsRead)
{
    return {Kind::Unit, QDateTime::currentDateTime(), port, unitId, limitsRead, {}, 0};
}

QString SheetSource::text() const
{
    const QString at = when.toString(QStringLiteral("yyyy-MM-dd HH:mm"));
    switch (kind) {
    case Kind::Unit:
        return QStringLiteral("Read from the unit on %1, %2").arg(at, where);
    case Kind::File:
        return QStringLiteral("From file %1, saved %2").arg(where, at);
    case Kind::Recorded:
        return QStringLiteral("Recorded by %1 on %2, version %3").arg(recordedBy, at).arg(version);
    case Kind::StartUp:
        break;
    }
    return QStringLiteral("The tool's start-up values, not read from a unit");
}

int Paint_Sheet(const SheetContent &content, QPagedPaintDevice &device)
{
    const Marks marks(content.notStored);
    device.setPageOrientation(QPageLayout::Landscape); // the pass table needs the width
    Section passes, rest;
    layOut(passes, passTable(content, marks), device);
    device.setPageOrientation(QPageLayout::Portrait);
    layOut(rest, settingsAndLocations(content, marks), device);
    const int total = passes.pages + rest.pages;
    device.setPageOrientation(QPageLayout::Landscape);
    QPainter p(&device);
    int number = 0;
    for (int i = 0; i < passes.pages; ++i) {
        if (number > 0)
            device.newPage();
        paintPage(p, passes, i, content, ++number, total, device);
    }
    device.setPageOrientation(QPageLayout::Portrait);
    for (int i = 0; i < rest.pages; ++i) {
        device.newPage();
        paintPage(p, rest, i, content, ++number, total, device);
    }
    return total;
}

QByteArray Sheet_Pdf(const SheetContent &content, const QPageSize &size)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    {
        QPdfWriter pdf(&buffer);
        pdf.setPdfVersion(QPagedPaintDevice::PdfVersion_A1b);
        pdf.setResolution(300);
        pdf.setTitle(QStringLiteral("Halvo Configuration"));
        pdf.setCreator(QStringLiteral("Halvo Configuration Tool %1").arg(content.toolVersion));
        pdf.setPageSize(size);
        pdf.setPageMargins(QMarginsF(0, 0, 0, 0), QPageLayout::Millimeter);
        Paint_Sheet(content, pdf);
    }
    return bytes;
}

QPageSize Local_Page_Size()
{
    return QPageSize(QLocale().measurementSystem() == QLocale::ImperialUSSystem ? QPageSize::Letter
                                                                                : QPageSize::A4);
}

} // namespace halvo::report
