#include "unit_file.h"

namespace halvo::records {

namespace {

QString Time_Text(const QDateTime &t)
{
    return t.isValid() ? t.toUTC().toString(Qt::ISODate) : QString();
}

QStringList Part_Names(const UnitFile &u, bool known)
{
    QStringList names;
    for (config::Part p : RecordedParts)
        if (u.knows(p) == known)
            names << config::Part_Name(p);
    return names;
}

} // namespace

QByteArray UnitFile::text() const
{
    QStringList lines;
    lines << QStringLiteral("Name: ") + name << QStringLiteral("Banner: ") + banner;
    for (const QString &a : adapters)
        lines << QStringLiteral("Adapter: ") + a;
    const std::pair<const char *, QDateTime> times[] = {
        {"First seen", firstSeen}, {"Last seen", lastSeen}, {"Last read unchanged", lastUnchanged}};
    for (const auto &[label, when] : times)
        if (when.isValid())
            lines << QStringLiteral("%1: %2").arg(QLatin1String(label), Time_Text(when));
    const QStringList have = Part_Names(*this, true), lack = Part_Names(*this, false);
    if (!have.isEmpty())
        lines << QStringLiteral("Known: ") + have.join(QStringLiteral(", "));
    if (!lack.isEmpty())
        lines << QStringLiteral("Not known: ") + lack.join(QStringLiteral(", "));
    return (lines.join(QLatin1Char('\n')) + QLatin1Char('\n')).toUtf8();
}

std::optional<UnitFile> UnitFile::Parse(const QByteArray &text, QString *why)
{
    UnitFile u;
    for (const QString &raw : QString::fromUtf8(text).split(QLatin1Char('\n'))) {
        const QString line = raw.trimmed();
        const qsizetype colon = line.indexOf(QLatin1Char(':'));
        if (colon <= 0)
            continue;
        const QString field = line.left(colon).trimmed().toLower();
        const QString value = line.mid(colon + 1).trimmed();
        if (field == QLatin1String("name"))
            u.name = value;
        else if (field == QLatin1String("banner"))
            u.banner = value;
        else if (field == QLatin1String("adapter") && !value.isEmpty() && !u.adapters.contains(value))
            u.adapters << value;
        else if (field == QLatin1String("first seen"))
            u.firstSeen = QDateTime::fromString(value, Qt::ISODate);
        else if (field == QLatin1String("last seen"))
            u.lastSeen = QDateTime::fromString(value, Qt::ISODate);
        else if (field == QLatin1String("last read unchanged"))
            u.lastUnchanged = QDateTime::fromString(value, Qt::ISODate);
        else if (field == QLatin1String("known"))
            for (const QString &name : value.split(QLatin1Char(',')))
                for (config::Part p : RecordedParts)
                    if (name.trimmed() == config::Part_Name(p))
                        u.learn(p);
    }
    if (u.name.isEmpty() || u.banner.isEmpty()) {
        if (why)
            *why = u.name.isEmpty() ? QStringLiteral("unit.txt names no unit")
                                    : QStringLiteral("unit.txt gives no banner");
        return std::nullopt;
    }
    return u;
}

} // namespace halvo::records
