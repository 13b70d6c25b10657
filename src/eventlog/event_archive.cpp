#include "event_archive.h"

#include "base/whole_file.h"
#include "event_log_file.h"
#include "event_requests.h"

#include <QFile>

namespace halvo::eventlog {

namespace {
constexpr char Header[] = "halvo event archive record 1";

int ringPage(int page)
{
    return ((page % RingPages) + RingPages) % RingPages;
}
} // namespace

QString Record_Path(const QString &archive)
{
    return archive + QStringLiteral(".halvo-record");
}

QByteArray Format_Record(const ArchiveRecord &r)
{
    QByteArray out = QByteArray(Header) + '\n';
    out += "end-page: " + QByteArray::number(r.endPage) + '\n';
    out += "saved: " + r.savedAt.toString(Qt::ISODate).toLatin1() + '\n';
    out += "unit: " + r.unitId.toUtf8().toHex() + '\n';
    out += "port: " + r.port.toUtf8().toHex() + '\n';
    out += QByteArray("cleared: ") + (r.cleared ? "yes" : "no") + '\n';
    for (const QByteArray &entry : r.lastPage)
        out += "last-page: " + entry.toHex() + '\n';
    return out;
}

std::optional<ArchiveRecord> Parse_Record(const QByteArray &text, QString *why)
{
    auto refuse = [&](const QString &what) -> std::optional<ArchiveRecord> {
        if (why)
            *why = what;
        return std::nullopt;
    };
    const QList<QByteArray> lines = text.split('\n');
    if (lines.value(0) != Header)
        return refuse(QStringLiteral("it does not start with \"%1\"").arg(QLatin1String(Header)));
    ArchiveRecord r;
    bool hasEnd = false, hasSaved = false;
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const QByteArray &line = lines.at(i);
        if (line.isEmpty())
            continue;
        const qsizetype colon = line.indexOf(": ");
        if (colon < 0)
            return refuse(QStringLiteral("line %1 is not \"key: value\"").arg(i + 1));
        const QByteArray key = line.left(colon), value = line.mid(colon + 2);
        bool ok = true;
        if (key == "end-page") {
            r.endPage = value.toInt(&ok);
            ok = ok && r.endPage >= 0 && r.endPage < RingPages;
            hasEnd = ok;
        } else if (key == "saved") {
            r.savedAt = QDateTime::fromString(QString::fromLatin1(value), Qt::ISODate);
            ok = hasSaved = r.savedAt.isValid();
        } else if (key == "unit") {
            r.unitId = QString::fromUtf8(QByteArray::fromHex(value));
        } else if (key == "port") {
            r.port = QString::fromUtf8(QByteArray::fromHex(value));
        } else if (key == "cleared") {
            ok = value == "yes" || value == "no";
            r.cleared = value == "yes";
        } else if (key == "last-page") {
            r.lastPage << QByteArray::fromHex(value);
            ok = r.lastPage.size() <= EventsPerPage;
        } else {
            ok = false;
        }
        if (!ok)
            return refuse(
                QStringLiteral("line %1 (%2) cannot be read").arg(i + 1).arg(QString::fromLatin1(key)));
    }
    if (!hasEnd || !hasSaved)
        return refuse(QStringLiteral("it does not say where the last download ended"));
    return r;
}

std::optional<ArchiveRecord> Read_Record(const QString &archive, QString *why)
{
    if (why)
        why->clear();
    QFile f(Record_Path(archive));
    if (!f.exists())
        return std::nullopt;
    QString problem;
    std::optional<ArchiveRecord> r;
    if (!f.open(QIODevice::ReadOnly))
        problem = f.errorString();
    else if (!(r = Parse_Record(f.readAll(), &problem)))
        problem = QStringLiteral("it is damaged: ") + problem;
    if (!r && why)
        *why = QStringLiteral("The record of %1 (%2) cannot be read: %3").arg(archive, f.fileName(), problem);
    return r;
}

bool Write_Record(const QString &archive, const ArchiveRecord &record, QString *why)
{
    return base::Write_Whole_File(Record_Path(archive), Format_Record(record), why);
}

bool Append_Entries(const QString &archive, const QList<QByteArray> &entries, QString *why)
{
    if (entries.isEmpty())
        return true;
    QFile f(archive);
    const QByteArray bytes = entries.join();
    if (f.open(QIODevice::WriteOnly | QIODevice::Append) && f.write(bytes) == bytes.size() && f.flush())
        return true;
    if (why)
        *why = f.errorString();
    return false;
}

NewPages Plan_New_Pages(const ArchiveRecord &r, int pointer)
{
    const QString since = r.savedAt.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    if (r.cleared) // the tool cleared the log: the ring starts again at page 0
        return {0, pointer, false,
                pointer == 0 ? QStringLiteral("No new events since %1").arg(since) : QString()};
    if (pointer == r.endPage)
        return {0, 0, false, QStringLiteral("No new events since %1").arg(since)};
    if (pointer < r.endPage) {
        // Cleared by someone else, or the ring wrapped: the pages before the pointer
        // are new either way. Only a wrap leaves pages after the old end unread.
        QString note = QStringLiteral("The log pointer went back from %1 to %2: the log was cleared or has "
                                      "wrapped. Pages 0 to %3 are read")
                           .arg(r.endPage)
                           .arg(pointer)
                           .arg(pointer - 1);
        if (pointer == 0)
            note =
                QStringLiteral("The log pointer went back from %1 to 0: the log was cleared or has wrapped. "
                               "Nothing is read")
                    .arg(r.endPage);
        note += QStringLiteral(
                    "; if it wrapped, pages %1 to %2 were overwritten or are older than the archive and "
                    "are not read.")
                    .arg(r.endPage)
                    .arg(RingPages - 1);
        return {0, pointer, false, note};
    }
    // The previous download's last page is read again: the unit may have added to it.
    const bool reread = r.endPage > 0;
    const int first = reread ? r.endPage - 1 : 0;
    return {first, pointer - first, reread, QString()};
}

QString Mismatch_Note(const ArchiveRecord &r)
{
    return QStringLiteral("Page %1 as the unit holds it now is not the page this archive ends with: this is "
                          "another unit, or its log was cleared and refilled since %2. Nothing was added.")
        .arg((r.endPage - 1 + RingPages) % RingPages)
        .arg(r.savedAt.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")));
}

bool Record_Is_Of_Unit(const ArchiveRecord &record, const QString &identification)
{
    constexpr int EarlierIdLength = 12;
    const QString held = QString(record.unitId).remove(QChar(0)).trimmed();
    if (held.isEmpty() || held == identification)
        return true;
    return record.unitId.size() <= EarlierIdLength && identification.startsWith(held);
}

std::vector<std::pair<int, int>> Page_Chunks(int firstPage, int count)
{
    std::vector<std::pair<int, int>> chunks;
    for (int done = 0; done < count; done += ChunkPages)
        chunks.emplace_back(ringPage(firstPage + done), std::min(ChunkPages, count - done));
    return chunks;
}

QList<QByteArray> PageCollector::take(const QByteArray &line)
{
    m_page << Event_Log_Entry(line);
    return m_page.size() == EventsPerPage ? handOut() : QList<QByteArray>();
}

QList<QByteArray> PageCollector::finish()
{
    return m_page.isEmpty() ? QList<QByteArray>() : handOut();
}

QList<QByteArray> PageCollector::handOut()
{
    QList<QByteArray> out = m_page;
    m_lastPage = std::exchange(m_page, {});
    if (m_pages++ == 0 && !m_known.isEmpty()) {
        // The page read again: what the archive holds of it stays out, in order; a page
        // that does not begin with it is not the page the archive ends with.
        qsizetype same = 0;
        while (same < m_known.size() && same < out.size() && out.at(same) == m_known.at(same))
            ++same;
        if (same < m_known.size()) {
            m_mismatch = true;
            return {};
        }
        out.remove(0, same);
    }
    return out;
}

} // namespace halvo::eventlog
