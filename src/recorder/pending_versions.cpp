#include "pending_versions.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLockFile>
#include <QSaveFile>
#include <QStandardPaths>

namespace halvo::recorder {

namespace {

QJsonObject To_Json(const PendingVersion &p)
{
    QJsonArray parts, items;
    for (config::Part part : p.parts)
        parts << int(part);
    for (const config::ItemRef &i : p.items)
        items << QJsonArray{int(i.part), i.index};
    QJsonObject o{{"id", p.id},
                  {"folder", p.folder},
                  {"unit", p.unit},
                  {"name", p.name},
                  {"banner", p.meeting.banner},
                  {"adapter", p.meeting.adapter},
                  {"port", p.meeting.port},
                  {"when", p.meeting.when.toUTC().toString(Qt::ISODateWithMs)},
                  {"kind", p.kind == records::Finding::Kind::Store ? "store" : "read"},
                  {"parts", parts},
                  {"items", items},
                  {"unit data", QString::fromLatin1(p.unitData.toBase64())},
                  {"not taken", p.notTaken},
                  {"author", p.author.name},
                  {"host", p.author.host}};
    if (p.events)
        o.insert("events", QJsonObject{{"files", QJsonArray::fromStringList(p.events->files)},
                                       {"lines", p.events->lines},
                                       {"pages", p.events->pages}});
    return o;
}

PendingVersion From_Json(const QJsonObject &o)
{
    PendingVersion p;
    p.id = o.value("id").toString();
    p.folder = o.value("folder").toString();
    p.unit = o.value("unit").toString();
    p.name = o.value("name").toString();
    p.meeting = {o.value("banner").toString(), o.value("adapter").toString(), o.value("port").toString(),
                 QDateTime::fromString(o.value("when").toString(), Qt::ISODateWithMs)};
    p.kind = o.value("kind").toString() == QLatin1String("store") ? records::Finding::Kind::Store
                                                                  : records::Finding::Kind::Read;
    for (const QJsonValue &v : o.value("parts").toArray())
        if (v.toInt() >= 0 && v.toInt() <= int(config::Part::Locations))
            p.parts.push_back(config::Part(v.toInt()));
    for (const QJsonValue &v : o.value("items").toArray()) {
        const QJsonArray i = v.toArray();
        if (i.size() == 2 && i.at(0).toInt() >= 0 && i.at(0).toInt() <= int(config::Part::Locations))
            p.items.push_back({config::Part(i.at(0).toInt()), i.at(1).toInt()});
    }
    p.unitData = QByteArray::fromBase64(o.value("unit data").toString().toLatin1());
    p.notTaken = o.value("not taken").toString();
    p.author = {o.value("author").toString(), o.value("host").toString()};
    if (const QJsonObject e = o.value("events").toObject(); !e.isEmpty()) {
        records::UnitRecords::EventsFound events;
        for (const QJsonValue &f : e.value("files").toArray())
            events.files << f.toString();
        events.port = p.meeting.port;
        events.lines = e.value("lines").toInt();
        events.pages = e.value("pages").toInt();
        p.events = events;
    }
    return p;
}

std::optional<std::vector<PendingVersion>> Read(const QString &file, QString *why)
{
    std::vector<PendingVersion> out;
    QFile f(file);
    if (!f.exists())
        return out;
    if (!f.open(QIODevice::ReadOnly)) {
        if (why)
            *why =
                QStringLiteral("%1 cannot be read: %2").arg(QDir::toNativeSeparators(file), f.errorString());
        return std::nullopt;
    }
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(f.readAll(), &error);
    if (!doc.isArray()) {
        if (why)
            *why = QStringLiteral("%1 is damaged (%2); it is left as it is")
                       .arg(QDir::toNativeSeparators(file), error.errorString());
        return std::nullopt;
    }
    for (const QJsonValue &v : doc.array())
        out.push_back(From_Json(v.toObject()));
    return out;
}

} // namespace

QString PendingVersions::Default_File()
{
    return QDir(QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation))
        .filePath(QStringLiteral("halvo/pending-versions.json"));
}

std::vector<PendingVersion> PendingVersions::list(QString *why) const
{
    return Read(m_file, why).value_or(std::vector<PendingVersion>{});
}

bool PendingVersions::update(const std::function<void(std::vector<PendingVersion> &)> &change,
                             QString *why) const
{
    if (!QDir().mkpath(QFileInfo(m_file).path())) {
        if (why)
            *why =
                QStringLiteral("%1 cannot be made").arg(QDir::toNativeSeparators(QFileInfo(m_file).path()));
        return false;
    }
    QLockFile lock(m_file + QStringLiteral(".lock"));
    if (!lock.tryLock(5000)) {
        if (why)
            *why = QStringLiteral("%1 is held by another program").arg(QDir::toNativeSeparators(m_file));
        return false;
    }
    auto versions = Read(m_file, why);
    if (!versions)
        return false;
    change(*versions);
    QJsonArray array;
    for (const PendingVersion &p : *versions)
        array << To_Json(p);
    QSaveFile out(m_file);
    if (out.open(QIODevice::WriteOnly) && out.write(QJsonDocument(array).toJson()) >= 0 && out.commit())
        return true;
    if (why)
        *why = QStringLiteral("%1 cannot be written: %2")
                   .arg(QDir::toNativeSeparators(m_file), out.errorString());
    return false;
}

} // namespace halvo::recorder
