#include "cli_commands.h"

#include "datafile/data_file.h"
#include "eventlog/event_log_file.h"
#include "eventlog/event_logger.h"
#include "eventlog/event_requests.h"
#include "link/frame.h"
#include "link/messages.h"
#include "link/port_catalogue.h"
#include "progress.h"
#include "unit_session.h"

#include <QDateTime>
#include <QElapsedTimer>

#include <cstdio>
#include <vector>

namespace halvo::cli {

namespace {
using datafile::Configuration;
namespace Msg = link::Msg;

constexpr int PassFramePauseMs = 200;
constexpr int LocationFramePauseMs = 300;

int fail(int status, const QString &text)
{
    Progress::say(text);
    return status;
}

void print(const QString &line)
{
    std::fprintf(stdout, "%s\n", qPrintable(line));
}

int scaled(const Options &o, int ms)
{
    return static_cast<int>(ms * o.pauseScale);
}

link::PortCatalogue catalogue(const Options &o)
{
    link::PortCatalogue c;
    c.setExtraPorts(o.extraPorts);
    c.refresh();
    return c;
}

// Opens the port and waits for the unit's banner: nothing is sent before the unit
// has said it is there.
int connectUnit(const Options &o, UnitSession &s)
{
    QString path = o.port;
    bool isNumber = false;
    const int number = o.port.toInt(&isNumber);
    if (isNumber) {
        const link::PortCatalogue c = catalogue(o);
        const link::PortEntry *e = c.find(number);
        if (!e)
            return fail(BadInput, QStringLiteral("there is no port %1 (see halvo-cli ports)").arg(number));
        path = e->path;
    }
    QString error;
    if (!s.open(path, &error))
        return fail(UnitFailed, Msg::CommError + QStringLiteral(": ") + error);
    if (!s.waitFor([&] { return s.received().identified; }, o.timeoutMs))
        return fail(UnitFailed,
                    Msg::CommError + QStringLiteral(": no base unit announced itself on %1 within %2 s")
                                         .arg(path)
                                         .arg(o.timeoutMs / 1000));
    return Ok;
}

QString lostOrRefused(UnitSession &s)
{
    if (s.linkLost())
        return Msg::CommError + QStringLiteral(": the link to the unit broke");
    return Msg::CommError + QStringLiteral(": ") + s.received().refused;
}

// Sends a read and waits until every expected reply is in; names what is missing
// otherwise.
bool readPart(UnitSession &s, const Options &o, Progress &progress, quint8 code, const QString &what,
              int expected, const std::function<int()> &arrived, const std::function<QString()> &missing,
              QString *why)
{
    progress.stage(QStringLiteral("reading ") + what, expected);
    if (!s.send(link::Build_Short_Request(code))) {
        *why = Msg::CommError + QStringLiteral(": the port refused the read request");
        return false;
    }
    const bool complete = s.waitFor(
        [&] {
            progress.step(arrived());
            return arrived() == expected;
        },
        o.timeoutMs);
    progress.finish();
    if (complete)
        return true;
    if (s.linkLost() || !s.received().refused.isEmpty())
        *why = lostOrRefused(s);
    else
        *why = QStringLiteral("%1 of %2 %3 arrived; missing: %4%5")
                   .arg(arrived())
                   .arg(expected)
                   .arg(what, missing(),
                        s.received().damaged
                            ? QStringLiteral(" (%1 arrived damaged: ").arg(s.received().damaged) +
                                  Msg::TerminatorError.trimmed() + QLatin1Char(')')
                            : QString());
    return false;
}

template <class Array> int countOf(const Array &a)
{
    return static_cast<int>(std::count_if(a.begin(), a.end(), [](const auto &v) { return v.has_value(); }));
}

template <class Array> QStringList absent(const Array &a, const std::function<QString(int)> &name)
{
    QStringList out;
    for (int i = 0; i < static_cast<int>(a.size()); ++i)
        if (!a[static_cast<size_t>(i)])
            out << name(i);
    return out;
}

// Reads the pass table, the settings and the location names.
std::optional<Configuration> readConfiguration(UnitSession &s, const Options &o, Progress &progress,
                                               QString *why)
{
    Received &got = s.received();
    got.passes = {};
    got.pages = {};
    got.aliases = {};
    const bool ok =
        readPart(
            s, o, progress, link::Cmd::ReadPassTable, QStringLiteral("pass records"), passes::PassCount,
            [&] { return countOf(got.passes); },
            [&] {
                return absent(got.passes, [](int i) { return QStringLiteral("pass %1").arg(i + 1); })
                    .join(QStringLiteral(", "));
            },
            why) &&
        readPart(
            s, o, progress, link::Cmd::ReadSettings, QStringLiteral("settings pages"), 4,
            [&] { return countOf(got.pages); },
            [&] {
                static const char *const names[] = {"maxima", "minima", "defaults", "values"};
                return absent(got.pages, [](int i) { return QString::fromLatin1(names[i]); })
                    .join(QStringLiteral(", "));
            },
            why) &&
        readPart(
            s, o, progress, link::Cmd::ReadLocations, QStringLiteral("location names"),
            settings::LocationCount, [&] { return countOf(got.aliases); },
            [&] { return absent(got.aliases, settings::Location_Code_Caption).join(QStringLiteral(", ")); },
            why);
    if (!ok)
        return std::nullopt;
    Configuration c;
    for (int r = 1; r <= passes::PassCount; ++r) {
        auto &row = c.passes[static_cast<size_t>(r - 1)];
        row = passes::Default_Pass_Row(r);
        const auto &d = *got.passes[static_cast<size_t>(r - 1)];
        for (int col : passes::DecodedColumns)
            row[static_cast<size_t>(col)] = d.columns[static_cast<size_t>(col)];
    }
    for (int i = 0; i < settings::ParamCount; ++i)
        c.params[static_cast<size_t>(i)] = QString::number((*got.pages[3])[static_cast<size_t>(i)]);
    for (int sl = 0; sl < settings::LocationCount; ++sl)
        c.aliases[static_cast<size_t>(sl)] = *got.aliases[static_cast<size_t>(sl)];
    return c;
}

// A data file for restore or verify: all or nothing, and every part present.
int loadFile(const QString &path, Configuration &c)
{
    QString why;
    const auto records = datafile::Load_Data_File(path, &why);
    if (!records)
        return fail(BadInput, Msg::LoadFileError + QStringLiteral(": ") + why);
    int passCount = 0, locations = 0, settingsRecords = 0;
    for (const auto &r : *records) {
        passCount += std::holds_alternative<datafile::PassData>(r);
        locations += std::holds_alternative<datafile::LocationData>(r);
        settingsRecords += std::holds_alternative<datafile::SettingsData>(r);
    }
    if (passCount < passes::PassCount || locations < settings::LocationCount || settingsRecords < 1)
        return fail(BadInput,
                    Msg::LoadFileError +
                        QStringLiteral(": the file holds %1 pass, %2 location and %3 settings records, "
                                       "not a whole configuration")
                            .arg(passCount)
                            .arg(locations)
                            .arg(settingsRecords));
    for (int r = 1; r <= passes::PassCount; ++r)
        c.passes[static_cast<size_t>(r - 1)] = passes::Default_Pass_Row(r);
    datafile::Apply_Records(*records, c, true);
    return Ok;
}

// Connects, then reads the whole configuration; a status other than Ok on failure.
int readUnit(const Options &o, UnitSession &s, std::optional<Configuration> &unit)
{
    if (const int status = connectUnit(o, s))
        return status;
    Progress progress;
    QString why;
    unit = readConfiguration(s, o, progress, &why);
    return unit ? Ok : fail(UnitFailed, why);
}

int compare(const Configuration &unit, const Configuration &file)
{
    const QStringList differences = datafile::Configuration_Differences(unit, file);
    for (const QString &d : differences)
        print(d);
    if (differences.isEmpty()) {
        Progress::say(QStringLiteral("the unit holds what the file holds"));
        return Ok;
    }
    Progress::say(QStringLiteral("the unit and the file differ in %1 fields").arg(differences.size()));
    return Different;
}

struct Frame
{
    QByteArray bytes;
    int pauseMs;
};

// The frames a restore sends, in order, each with the pause that follows it.
std::optional<std::vector<Frame>> restoreFrames(const Configuration &c, QString *why)
{
    std::vector<Frame> frames;
    for (int i = 0; i < passes::PassCount; ++i) {
        const auto f = passes::Build_Pass_Frame(i, c.passes[static_cast<size_t>(i)], why);
        if (!f)
            return std::nullopt;
        frames.push_back({*f, PassFramePauseMs});
    }
    const auto settingsFrame = settings::Build_Config_Frame(c.params, why);
    if (!settingsFrame)
        return std::nullopt;
    frames.push_back({*settingsFrame, 0});
    for (int sl = 0; sl < settings::LocationCount; ++sl) {
        const auto f = settings::Build_Location_Name_Frame(sl, c.aliases[static_cast<size_t>(sl)], why);
        if (!f)
            return std::nullopt;
        frames.push_back({*f, LocationFramePauseMs});
    }
    return frames;
}
} // namespace

int Ports(const Options &o)
{
    for (const link::PortEntry &e : catalogue(o).openable())
        print(link::PortCatalogue::Port_Entry_Text(e.number) + QLatin1Char('\t') +
              link::PortCatalogue::Port_Details(e));
    return Ok;
}

int Backup(const Options &o, const QString &file)
{
    UnitSession s;
    std::optional<Configuration> config;
    if (const int status = readUnit(o, s, config))
        return status; // no file written
    QString why;
    const auto content = datafile::Build_Data_File(*config, &why);
    if (!content || !datafile::Save_Data_File(file, *content, &why))
        return fail(UnitFailed, Msg::SaveFileError + QStringLiteral(": ") + why);
    Progress::say(QStringLiteral("configuration saved to %1").arg(file));
    return Ok;
}

int Restore(const Options &o, const QString &file, bool dryRun, bool verify)
{
    Configuration c;
    if (const int status = loadFile(file, c))
        return status;
    QString why;
    const auto frames = restoreFrames(c, &why);
    if (!frames)
        return fail(BadInput, Msg::LoadFileError + QStringLiteral(": ") + why);
    if (dryRun) {
        for (const Frame &f : *frames)
            print(QString::fromLatin1(f.bytes.toHex(' ').toUpper()));
        return Ok;
    }
    UnitSession s;
    if (const int status = connectUnit(o, s))
        return status;
    Progress progress;
    progress.stage(QStringLiteral("storing"), static_cast<int>(frames->size()));
    int sent = 0;
    for (const Frame &f : *frames) {
        if (!s.send(f.bytes) || s.linkLost()) {
            progress.finish();
            return fail(UnitFailed,
                        Msg::CommError +
                            QStringLiteral(": %1 of %2 frames sent").arg(sent).arg(frames->size()));
        }
        progress.step(++sent);
        s.pause(scaled(o, f.pauseMs));
    }
    progress.finish();
    if (s.linkLost())
        return fail(UnitFailed, Msg::CommError + QStringLiteral(": the link broke after the last frame"));
    Progress::say(QStringLiteral("%1 frames sent").arg(sent));
    if (!verify)
        return Ok;
    // The unit never acknowledges a store: reading it back is the only proof.
    const auto unit = readConfiguration(s, o, progress, &why);
    if (!unit)
        return fail(UnitFailed, why);
    return compare(*unit, c);
}

int Verify(const Options &o, const QString &file)
{
    Configuration c;
    if (const int status = loadFile(file, c))
        return status;
    UnitSession s;
    std::optional<Configuration> unit;
    if (const int status = readUnit(o, s, unit))
        return status;
    return compare(*unit, c);
}

int Events(const Options &o, int pages, const QString &file)
{
    if (!eventlog::Page_Count_Ok(QString::number(pages)))
        return fail(BadInput, QStringLiteral("--pages takes 1 to %1").arg(eventlog::RingPages - 1));
    eventlog::EventLogFile out;
    const bool toStdout = file == QStringLiteral("-");
    QString why;
    // The operator's earlier log stays as it is until the unit has answered: here the
    // file is only checked, not created or emptied.
    if (!toStdout && !eventlog::Can_Write_File(file, &why))
        return fail(BadInput, Msg::SaveFileError + QStringLiteral(": ") + why);
    UnitSession s;
    if (const int status = connectUnit(o, s))
        return status;

    eventlog::EventLogger logger;
    int lines = 0;
    bool writeFailed = false;
    QElapsedTimer sinceLine;
    sinceLine.start();
    QObject guard;
    QObject::connect(&s, &UnitSession::eventLine, &guard, [&](const QByteArray &line) {
        logger.Line_Received();
        sinceLine.restart();
        ++lines;
        if (toStdout) {
            const QByteArray entry = eventlog::Event_Log_Entry(line);
            std::fwrite(entry.constData(), 1, static_cast<size_t>(entry.size()), stdout);
            std::fflush(stdout);
        } else if (out.isOpen() && !writeFailed && !out.write(line)) {
            writeFailed = true;
        }
    });

    Progress progress;
    progress.stage(QStringLiteral("event pages"), pages);
    int requested = 0;
    bool lastSent = false;
    QElapsedTimer waitingForPointer;
    logger.Start();
    while (true) {
        s.pause(scaled(o, logger.intervalMs()));
        if (s.linkLost() || writeFailed)
            break;
        if (logger.state() == eventlog::EventLogger::State::Plan && s.received().pointer && !toStdout &&
            !out.isOpen() && !out.open(file, &why))
            return fail(UnitFailed, Msg::SaveFileError + QStringLiteral(": ") + why);
        if (logger.state() == eventlog::EventLogger::State::Plan && !s.received().pointer) {
            // Plan only with the pointer the unit gave.
            if (!waitingForPointer.isValid())
                waitingForPointer.start();
            if (waitingForPointer.elapsed() > o.timeoutMs)
                return fail(UnitFailed,
                            Msg::CommError + QStringLiteral(": the unit did not answer the pointer request"));
            continue;
        }
        const auto a = logger.Tick(s.received().pointer.value_or(0), pages);
        using Kind = eventlog::EventLogger::Action::Kind;
        if (a.kind == Kind::ReadPointer && !s.send(eventlog::Build_Pointer_Request()))
            break;
        if (a.kind == Kind::ReadPages) {
            const auto frame = eventlog::Build_Page_Request(a.firstPage, a.count);
            if (!frame || !s.send(*frame))
                break;
            requested += a.count;
            progress.step(requested);
            lastSent = logger.state() == eventlog::EventLogger::State::Idle;
            sinceLine.restart();
        }
        // Done once the last chunk is asked for and the unit has been quiet as long as
        // the logger waits between chunks.
        if (lastSent && sinceLine.elapsed() >= scaled(o, eventlog::EventLogger::QuietTicksBeforeChunk *
                                                             eventlog::EventLogger::PacedIntervalMs))
            break;
    }
    progress.finish();
    if (writeFailed)
        return fail(UnitFailed, Msg::SaveFileError + QStringLiteral(": %1").arg(out.path()));
    if (s.linkLost() || !lastSent)
        return fail(UnitFailed, Msg::CommError + QStringLiteral(": the link broke; %1 event lines (%2 pages) "
                                                                "arrived and are kept")
                                                     .arg(lines)
                                                     .arg(lines / eventlog::EventsPerPage));
    Progress::say(QStringLiteral("%1 event lines from %2 pages").arg(lines).arg(pages));
    return Ok;
}

int Clock(const Options &o)
{
    UnitSession s;
    if (const int status = connectUnit(o, s))
        return status;
    const QDateTime now = QDateTime::currentDateTime();
    if (!s.send(eventlog::Build_Clock_Request(now)))
        return fail(UnitFailed, Msg::CommError);
    s.pause(50); // let the frame leave before the port closes
    Progress::say(QStringLiteral("clock set to ") + now.toString(QStringLiteral("MM/dd/yy HH:mm:ss")));
    return Ok;
}

} // namespace halvo::cli
