// Throughput of the receive path as the tool runs it: the unit session's assembler,
// reply routing and decoders into the configuration, over a long stream of mixed
// reply frames, banners and event lines, fed in receive events of varying size.
#include "config/configuration.h"
#include "session/receive_path.h"
#include "session/unit_session.h"

#include <benchmark/benchmark.h>

namespace {
QByteArray reply(char code, const QByteArray &data)
{
    return "D" + QByteArray(1, code) + data.leftJustified(36, ' ') + "\n\r";
}

QByteArray mixedStream(int units)
{
    QByteArray s;
    for (int i = 0; i < units; ++i) {
        QByteArray pass(1, char(i % 72));
        pass += "Pass " + QByteArray::number(i).leftJustified(11) + " 0A" + char(3) + "0E" + char(60) +
                char(0x80) + char(1) + char(i % 9) + char(15) + char(0) + char(2);
        switch (i % 5) {
        case 0:
        case 1:
            s += reply('!', pass);
            break;
        case 2:
            s += reply('$', QByteArray(1, char('0' + i % 3)) + QByteArray(32, char(i % 7)));
            break;
        case 3:
            s += reply('-', QByteArray::number(i % 50).rightJustified(2, '0') + "Zone");
            break;
        default:
            s += reply('?', "dropped");
        }
        if (i % 3 == 0)
            s += "Page 00490 Ev 1 12/05/26 10:00:00 Pass 05 Alarm\r";
        if (i % 50 == 0)
            s += "Halvo Base Unit V2.04 SN 000417\r";
    }
    return s;
}

void BM_ReceiveDecodeApply(benchmark::State &state)
{
    const QByteArray stream = mixedStream(20000);
    const auto chunk = static_cast<qsizetype>(state.range(0));
    for (auto _ : state) {
        halvo::config::Configuration config;
        halvo::session::UnitSession s;
        s.setConfiguration(&config);
        for (qsizetype pos = 0; pos < stream.size(); pos += chunk)
            s.take(stream.mid(pos, chunk));
        benchmark::DoNotOptimize(config.passRow(72));
    }
    state.SetBytesProcessed(state.iterations() * stream.size());
}
} // namespace

BENCHMARK(BM_ReceiveDecodeApply)->Arg(1)->Arg(40)->Arg(4096);
BENCHMARK_MAIN();
