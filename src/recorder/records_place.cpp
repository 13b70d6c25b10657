#include "records_place.h"

#include <QDir>
#include <QSettings>
#include <QStandardPaths>
#include <QSysInfo>
#include <memory>

#ifdef Q_OS_WIN
#include <windows.h>
#else
#include <pwd.h>
#include <unistd.h>
#endif

namespace halvo::recorder {

namespace {
const QString FolderKey = QStringLiteral("records/folder");
const QString OnKey = QStringLiteral("records/on");
const QString OperatorKey = QStringLiteral("records/operator");

// The window and halvo-cli keep these in one place, whatever each is called.
std::unique_ptr<QSettings> Shared()
{
    return std::make_unique<QSettings>(QSettings::UserScope, QStringLiteral("halvo"),
                                       QStringLiteral("records"));
}
} // namespace

QString Default_Records_Folder()
{
    return QDir(QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation))
        .filePath(QStringLiteral("Halvo Records"));
}

QString Kept_Records_Folder()
{
    const QString folder = Shared()->value(FolderKey).toString();
    return folder.isEmpty() ? Default_Records_Folder() : folder;
}

bool Records_Kept()
{
    return Shared()->value(OnKey, true).toBool();
}

void Keep_Records_Folder(const QString &folder)
{
    Shared()->setValue(FolderKey, folder);
}

void Keep_Records(bool on)
{
    Shared()->setValue(OnKey, on);
}

QString Records_Folder_For(const QString &given, bool off)
{
    if (off)
        return {};
    if (!given.isEmpty())
        return given;
    const QString env = qEnvironmentVariable("HALVO_RECORDS");
    if (!env.isEmpty())
        return env;
    return Records_Kept() ? Kept_Records_Folder() : QString();
}

QString Kept_Operator_Name()
{
    return Shared()->value(OperatorKey).toString();
}

void Keep_Operator_Name(const QString &name)
{
    Shared()->setValue(OperatorKey, name.trimmed());
}

QString Login_Full_Name()
{
#ifdef Q_OS_WIN
    wchar_t name[256];
    DWORD size = 256;
    if (GetUserNameW(name, &size) && size > 1)
        return QString::fromWCharArray(name, static_cast<int>(size - 1));
    return qEnvironmentVariable("USERNAME");
#else
    if (const passwd *pw = getpwuid(getuid())) {
        const QString full = QString::fromLocal8Bit(pw->pw_gecos).section(QLatin1Char(','), 0, 0).trimmed();
        return full.isEmpty() ? QString::fromLocal8Bit(pw->pw_name) : full;
    }
    return qEnvironmentVariable("USER");
#endif
}

QString Operator_Name_For(const QString &given)
{
    for (const QString &name : {given, qEnvironmentVariable("HALVO_OPERATOR"), Kept_Operator_Name()})
        if (!name.trimmed().isEmpty())
            return name.trimmed();
    return Login_Full_Name();
}

records::Author Author_Named(const QString &name)
{
    return {name, QSysInfo::machineHostName()};
}

} // namespace halvo::recorder
