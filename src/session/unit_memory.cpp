#include "unit_memory.h"

#include "operator_dialogs.h"
#include "port/serial_ports.h"
#include "session/unit_session.h"

#include <QFileInfo>
#include <QSettings>

namespace halvo::app {

namespace {
constexpr int DefaultMinutes = 15;
QString hex(const QString &text)
{
    return QString::fromLatin1(text.toUtf8().toHex());
}
} // namespace

QString UnitMemory::key(const char *what) const
{
    QString adapter = port::Adapter_Serial_Number(m_session.path());
    if (adapter.isEmpty())
        adapter = m_session.path();
    return QStringLiteral("%1/%2/%3").arg(QLatin1String(what), hex(m_session.identification()), hex(adapter));
}

QString UnitMemory::archive() const
{
    const QString path = QSettings().value(key("archives")).toString();
    return QFileInfo::exists(path) ? path : QString();
}

void UnitMemory::setArchive(const QString &path)
{
    QSettings().setValue(key("archives"), path);
}

QString UnitMemory::chooseArchive(OperatorDialogs &dialogs)
{
    FileChoice choice{QStringLiteral("txt"), documentsFolder(), QStringLiteral("Txt Files (*.txt)"),
                      QStringLiteral("Halvo_Event_Archive.txt")};
    choice.confirmOverwrite = false; // it is appended to, never emptied
    return dialogs.saveFileName(choice);
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

} // namespace halvo::app
