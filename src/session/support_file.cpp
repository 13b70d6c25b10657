#include "support_file.h"

#include "base/whole_file.h"
#include "config/configuration.h"
#include "support_log.h"
#include "unit_image.h"
#include "unit_session.h"

#include <QDateTime>
#include <QLibraryInfo>
#include <QRegularExpression>
#include <QSysInfo>

#include <algorithm>

namespace halvo::session {

namespace {
const QString LeftOut = QStringLiteral("[name left out]");

void section(QStringList &out, const QString &title)
{
    out << QString() << QStringLiteral("== ") + title;
}

// The staff names the window holds and the unit sent: pass user names and aliases.
void addNames(QStringList &names, const config::Configuration &c)
{
    for (int row = 1; row <= config::PassCount; ++row)
        names << c.passRow(row)[passes::ColUserName].trimmed();
    for (int slot = 0; slot < config::LocationCount; ++slot)
        names << c.alias(slot).trimmed();
}

QStringList connectionLines(const UnitSession &session)
{
    QStringList out;
    out << (session.isOpen() ? QStringLiteral("Port: open, %1").arg(session.path())
                             : QStringLiteral("Port: closed"));
    if (session.linkLost())
        out << QStringLiteral("The link broke since the port was last opened.");
    const QString banner = session.identification();
    out << (banner.isEmpty() ? QStringLiteral("Unit: no banner heard") : QStringLiteral("Unit: ") + banner);
    out << QStringLiteral("Shown as connected: %1").arg(session.connectedShown() ? "yes" : "no");
    out << QStringLiteral("Error latch: %1")
               .arg(session.errorLatch() ? QStringLiteral("set (a reply was refused)")
                                         : QStringLiteral("clear"));
    out << QStringLiteral("A job runs now: %1").arg(session.busy() ? "yes" : "no");
    if (const auto pointer = session.lastPointer())
        out << QStringLiteral("Event log pointer last sent: %1").arg(*pointer);
    for (config::Part part : {config::Part::Passes, config::Part::Settings, config::Part::Locations})
        out << QStringLiteral("%1: %2").arg(config::Part_Title(part).trimmed(),
                                            session.image().read(part)
                                                ? QStringLiteral("read from the unit")
                                                : QStringLiteral("not read from the unit"));
    return out;
}

QStringList configurationLines(const config::Configuration &c)
{
    QStringList out;
    out << QStringLiteral("Passes (") + passes::Column_Headers().join(QStringLiteral(" | ")) +
               QLatin1Char(')');
    for (int row = 1; row <= config::PassCount; ++row) {
        const passes::PassRow &r = c.passRow(row);
        out << QStringLiteral("%1: ").arg(row) + QStringList(r.begin(), r.end()).join(QStringLiteral(" | "));
    }
    for (int i = 0; i < config::ParamCount; ++i)
        out << QStringLiteral("Parameter %1: %2").arg(i).arg(c.param(i));
    for (int slot = 0; slot < config::LocationCount; ++slot)
        out << QStringLiteral("Location %1: %2").arg(slot).arg(c.alias(slot));
    return out;
}
} // namespace

QString Leave_Out_Names(QString text, QStringList names)
{
    names.removeIf([](const QString &n) { return n.size() < 2; });
    names.removeDuplicates();
    // The longest first, so that a name inside another goes with it.
    std::sort(names.begin(), names.end(),
              [](const QString &a, const QString &b) { return a.size() > b.size(); });
    for (const QString &name : names) {
        const QRegularExpression word(QStringLiteral("(?<![\\w])") + QRegularExpression::escape(name) +
                                          QStringLiteral("(?![\\w])"),
                                      QRegularExpression::UseUnicodePropertiesOption);
        text.replace(word, LeftOut);
    }
    return text;
}

QString Support_File_Text(const UnitSession &session, const SupportFacts &facts)
{
    QStringList out;
    out << QStringLiteral("Halvo Configuration Tool support file");
    const QDateTime now = QDateTime::currentDateTime();
    out << QStringLiteral("Written: %1").arg(now.toOffsetFromUtc(now.offsetFromUtc()).toString(Qt::ISODate));

    section(out, QStringLiteral("Tool"));
    out << QStringLiteral("Program: %1 %2").arg(facts.program, facts.version);
    out << QStringLiteral("Build: %1, %2").arg(QStringLiteral(HALVO_BUILD), QSysInfo::buildAbi());

    section(out, QStringLiteral("System"));
    out << QStringLiteral("System: %1 (%2 %3, %4)")
               .arg(QSysInfo::prettyProductName(), QSysInfo::kernelType(), QSysInfo::kernelVersion(),
                    QSysInfo::currentCpuArchitecture());
    out << QStringLiteral("Qt: running %1, built with %2; QtSerialPort built with %2")
               .arg(QString::fromLatin1(qVersion()), QStringLiteral(QT_VERSION_STR));

    section(out, QStringLiteral("Ports"));
    out << (facts.ports.isEmpty() ? QStringList{QStringLiteral("No serial ports listed.")} : facts.ports);

    section(out, QStringLiteral("Computer check"));
    out << facts.doctor;

    section(out, QStringLiteral("Connection"));
    out << connectionLines(session);

    section(out, QStringLiteral("Messages shown to the operator (the last %1)").arg(SupportMessages));
    const QStringList shown = support_log::Operator_Lines(SupportMessages);
    out << (shown.isEmpty() ? QStringList{QStringLiteral("None.")} : shown);

    section(out, QStringLiteral("Configuration"));
    if (!facts.configuration)
        out << QStringLiteral("None held: %1 keeps no configuration.").arg(facts.program);
    else if (facts.includeConfiguration)
        out << configurationLines(*facts.configuration);
    else
        out << QStringLiteral("Not included. Pass user names and location names are left out of this file.");

    const QStringList log = support_log::Lines();
    section(out, QStringLiteral("Log of this run (the last %1 lines)").arg(log.size()));
    out << log;

    QString text = out.join(QLatin1Char('\n')) + QLatin1Char('\n');
    if (facts.includeConfiguration && facts.configuration)
        return text;
    QStringList names;
    if (facts.configuration)
        addNames(names, *facts.configuration);
    addNames(names, session.image().unit());
    addNames(names, session.image().lastReplies());
    return Leave_Out_Names(text, names);
}

bool Save_Support_File(const QString &path, const UnitSession &session, const SupportFacts &facts,
                       QString *why)
{
    return base::Write_Whole_File(path, Support_File_Text(session, facts).toUtf8(), why);
}

} // namespace halvo::session
