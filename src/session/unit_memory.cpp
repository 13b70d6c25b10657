#include "unit_memory.h"

#include "unit_session.h"

#include <QFileInfo>
#include <QSettings>

namespace halvo::session {

namespace {
constexpr int DefaultMinutes = 15;
QString hex(const QString &text)
{
    return QString::fromLatin1(text.toUtf8().toHex());
}
} // namespace

UnitMemory::UnitMemory(const UnitSession &session)
{
    m_unit = hex(session.identification()) + QLatin1Char('/') + hex(session.adapter());
}

QString UnitMemory::key(const char *what) const
{
    return QLatin1String(what) + QLatin1Char('/') + m_unit;
}

QString UnitMemory::archive() const
{
    return QSettings().value(key("archives")).toString();
}

bool UnitMemory::archiveGone() const
{
    const QString path = archive();
    return !path.isEmpty() && QSettings().value(key("archiveMade"), false).toBool() &&
           !QFileInfo::exists(path);
}

void UnitMemory::setArchive(const QString &path)
{
    QSettings s;
    s.setValue(key("archives"), path);
    s.setValue(key("archiveMade"), QFileInfo::exists(path));
}

void UnitMemory::noteDownloadInto(const QString &path)
{
    if (!path.isEmpty() && path == archive() && QFileInfo::exists(path))
        QSettings().setValue(key("archiveMade"), true);
}

bool UnitMemory::collects() const
{
    return QSettings().value(key("collect") + QStringLiteral("/on"), false).toBool();
}

int UnitMemory::collectMinutes() const
{
    return QSettings().value(key("collect") + QStringLiteral("/minutes"), DefaultMinutes).toInt();
}

void UnitMemory::setCollection(bool on, int minutes)
{
    QSettings s;
    s.setValue(key("collect") + QStringLiteral("/on"), on);
    s.setValue(key("collect") + QStringLiteral("/minutes"), minutes);
}

} // namespace halvo::session
