#include "support_log.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QMutex>

#include <memory>

Q_LOGGING_CATEGORY(lcOperator, "halvo.operator", QtWarningMsg)

namespace halvo::session {

void LogRing::add(const QString &line)
{
    m_lines.push_back(line);
    while (static_cast<int>(m_lines.size()) > m_capacity)
        m_lines.pop_front();
}

namespace support_log {
namespace {
const char *const OperatorCategory = "halvo.operator";

const char *levelName(QtMsgType type)
{
    switch (type) {
    case QtDebugMsg:
        return "debug";
    case QtInfoMsg:
        return "info";
    case QtWarningMsg:
        return "warning";
    case QtCriticalMsg:
        return "critical";
    case QtFatalMsg:
        break;
    }
    return "fatal";
}

int bit(QtMsgType type)
{
    return 1 << static_cast<int>(type);
}

// Shared by every thread that logs: the ring, the file, and for each category the
// levels its rules let the console show.
struct State
{
    QMutex mutex;
    LogRing ring{RingLines};
    std::unique_ptr<QFile> file;
    QHash<QByteArray, int> consoleLevels;
    QtMessageHandler console = nullptr;
    QLoggingCategory::CategoryFilter rules = nullptr;
    bool installed = false;
};

State &state()
{
    static State s;
    return s;
}

// Every category is first set as the rules would set it, and that is remembered for
// the console; the tool's own are then opened at every level for the ring.
void filter(QLoggingCategory *category)
{
    State &s = state();
    if (s.rules)
        s.rules(category);
    int levels = 0;
    for (QtMsgType t : {QtDebugMsg, QtInfoMsg, QtWarningMsg, QtCriticalMsg})
        if (category->isEnabled(t))
            levels |= bit(t);
    const QByteArray name(category->categoryName());
    {
        QMutexLocker lock(&s.mutex);
        s.consoleLevels.insert(name, levels);
    }
    if (name.startsWith("halvo.")) {
        category->setEnabled(QtDebugMsg, true);
        category->setEnabled(QtInfoMsg, true);
        category->setEnabled(QtWarningMsg, true);
        category->setEnabled(QtCriticalMsg, true);
    }
}

void handler(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    State &s = state();
    const QByteArray category(context.category ? context.category : "default");
    const QString line = QStringLiteral("%1 %2.%3: %4")
                             .arg(QDateTime::currentDateTime().toString(QStringLiteral("HH:mm:ss.zzz")),
                                  QString::fromLatin1(category), QLatin1String(levelName(type)), message);
    bool toConsole = true;
    {
        QMutexLocker lock(&s.mutex);
        s.ring.add(line);
        if (s.file) {
            s.file->write(line.toUtf8() + '\n');
            s.file->flush(); // a run that ends badly keeps what came before
        }
        const auto levels = s.consoleLevels.constFind(category);
        if (levels != s.consoleLevels.constEnd())
            toConsole = (*levels & bit(type)) != 0 || type == QtFatalMsg;
    }
    if (toConsole && s.console)
        s.console(type, context, message);
}
} // namespace

bool Install(const QString &logFile, QString *why)
{
    State &s = state();
    bool opened = true;
    if (!logFile.isEmpty()) {
        auto file = std::make_unique<QFile>(logFile);
        // A file keeps what earlier runs wrote; a device (a terminal, the null device)
        // cannot be appended to, only written.
        const QFileInfo info(logFile);
        const QIODevice::OpenMode mode =
            QIODevice::WriteOnly | QIODevice::Text |
            (!info.exists() || info.isFile() ? QIODevice::Append : QIODevice::NotOpen);
        if (file->open(mode)) {
            QMutexLocker lock(&s.mutex);
            s.file = std::move(file);
        } else {
            opened = false;
            if (why)
                *why = file->errorString();
        }
    }
    if (!s.installed) {
        s.installed = true;
        s.console = qInstallMessageHandler(handler);
        s.rules = QLoggingCategory::installFilter(filter);
    }
    return opened;
}

QStringList Lines()
{
    State &s = state();
    QMutexLocker lock(&s.mutex);
    return s.ring.lines();
}

QStringList Operator_Lines(int count)
{
    const QString marker = QStringLiteral(" %1.").arg(QLatin1String(OperatorCategory));
    QStringList out;
    for (const QString &line : Lines()) {
        const qsizetype at = line.indexOf(marker);
        if (at < 0)
            continue;
        const qsizetype text = line.indexOf(QLatin1String(": "), at);
        out << QStringLiteral("%1 %2").arg(line.left(at), line.mid(text + 2));
    }
    return out.mid(std::max<qsizetype>(0, out.size() - count));
}

} // namespace support_log
} // namespace halvo::session
