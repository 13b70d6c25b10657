// halvo-unit-sim: a simulated base unit on a pseudo-terminal.
#include "sim_unit.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QSocketNotifier>

#include <csignal>
#include <cstdio>
#include <unistd.h>

namespace {
int g_signalPipe[2] = {-1, -1};
void onSignal(int)
{
    const char c = 1;
    [[maybe_unused]] auto n = ::write(g_signalPipe[1], &c, 1);
}
} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("halvo-unit-sim"));

    QCommandLineParser p;
    p.setApplicationDescription(QStringLiteral("Plays a Halvo base unit on a pseudo-terminal. Prints the "
                                               "device path to open, then serves until stopped."));
    p.addHelpOption();
    const QCommandLineOption banner({"b", "banner-interval"}, "Banner every MS milliseconds (default 3000).",
                                    "ms", "3000");
    const QCommandLineOption silent("silent", "Send no banner.");
    const QCommandLineOption state("state", "Keep the unit's state in FILE.", "file");
    const QCommandLineOption record("record", "Append every received frame to FILE (hex, one per line).",
                                    "file");
    const QCommandLineOption recordTimes("record-times",
                                         "Start each recorded frame with the microseconds since start.");
    const QCommandLineOption badTerm("bad-terminator", "End reply frames CR, CR.");
    const QCommandLineOption unknownCode("unknown-code", "Send reply frames with the code \"?\".");
    const QCommandLineOption badIndex("bad-pass-index", "First pass record reply names pass 72.");
    const QCommandLineOption badMode("bad-option-mode", "Pass record replies carry option mode 9.");
    const QCommandLineOption longLine("long-line", "Send a 400-byte line before each answer.");
    const QCommandLineOption chunk("chunk", "Deliver output in chunks of N bytes.", "n");
    const QCommandLineOption pace("pace", "Deliver output at 38400 baud.");
    const QCommandLineOption hangUp("hang-up-after", "Close the pty after N request frames.", "n");
    const QCommandLineOption dropStore("drop-store",
                                       "Lose store frame N on the way (counting stores from 0; repeatable).", "n");
    const QCommandLineOption flip("flip-reply",
                                  "Change one bit of the data of reply N (counting from 0; repeatable).", "n");
    const QCommandLineOption repeat("repeat-reply", "Send reply N (counting from 0) twice.", "n");
    const QCommandLineOption restart("restart-after",
                                     "Restart after N request frames and miss the next M: N,M.", "n,m");
    const QCommandLineOption bannerText("banner-text", "The banner line (default \"Halvo Base Unit V2.04 SN "
                                                       "000417\").", "text");
    const QCommandLineOption generation("log-generation",
                                        "The event log as if cleared and refilled N times: other events.", "n");
    const QCommandLineOption pointer("log-pointer", "The event log pointer to start with (default 500).", "page");
    p.addOptions({banner, silent, state, record, recordTimes, badTerm, unknownCode, badIndex, badMode,
                  longLine, chunk, pace, hangUp, dropStore, flip, repeat, restart, bannerText, generation, pointer});
    p.process(app);

    halvo::sim::SimUnit unit;
    auto &f = unit.faults();
    f.badTerminator = p.isSet(badTerm);
    f.unknownReplyCode = p.isSet(unknownCode);
    f.passIndexOutOfRange = p.isSet(badIndex);
    f.optionModeAbove8 = p.isSet(badMode);
    f.longLine = p.isSet(longLine);
    f.chunkSize = p.value(chunk).toInt();
    f.pace38400 = p.isSet(pace);
    f.hangUpAfterFrames = p.isSet(hangUp) ? p.value(hangUp).toInt() : -1;
    for (const QString &n : p.values(dropStore))
        f.dropStores << n.toInt();
    for (const QString &n : p.values(flip))
        f.flipReplies << n.toInt();
    f.repeatReply = p.isSet(repeat) ? p.value(repeat).toInt() : -1;
    if (p.isSet(restart)) {
        const QStringList nm = p.value(restart).split(QLatin1Char(','));
        f.deafAfterFrames = nm.value(0).toInt();
        f.deafFrames = nm.value(1).toInt();
    }
    unit.setBannerInterval(p.isSet(silent) ? 0 : p.value(banner).toInt());
    if (p.isSet(bannerText))
        unit.setBannerText(p.value(bannerText).toLatin1() + '\r');
    unit.setLogGeneration(p.value(generation).toInt());
    if (p.isSet(pointer))
        unit.setEventLogPointer(p.value(pointer).toInt());
    if (p.isSet(record))
        unit.setRecordFile(p.value(record));
    unit.setRecordTimes(p.isSet(recordTimes));
    QString error;
    if (p.isSet(state) && !unit.setStateFile(p.value(state), &error)) {
        std::fprintf(stderr, "halvo-unit-sim: cannot read state file: %s\n", qPrintable(error));
        return 1;
    }
    if (!unit.start(&error)) {
        std::fprintf(stderr, "halvo-unit-sim: cannot create a pseudo-terminal: %s\n", qPrintable(error));
        return 1;
    }
    std::printf("%s\n", qPrintable(unit.devicePath()));
    std::fflush(stdout);
    std::fprintf(stderr, "halvo-unit-sim: unit listening on %s (Ctrl+C stops it)\n",
                 qPrintable(unit.devicePath()));

    QObject::connect(&unit, &halvo::sim::SimUnit::hungUpSignal, &app, [] {
        std::fprintf(stderr, "halvo-unit-sim: hung up\n");
        QCoreApplication::exit(0);
    });
    if (::pipe(g_signalPipe) == 0) {
        auto *sn = new QSocketNotifier(g_signalPipe[0], QSocketNotifier::Read, &app);
        QObject::connect(sn, &QSocketNotifier::activated, &app, [] { QCoreApplication::quit(); });
        std::signal(SIGINT, onSignal);
        std::signal(SIGTERM, onSignal);
    }
    return app.exec();
}
