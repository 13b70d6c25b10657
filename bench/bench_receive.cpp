// Throughput of the receive assembler and reply routing over a long stream of mixed
// reply frames, banners and event lines, fed in receive events of varying size.
#include "link/receive_assembler.h"
#include "link/reply_router.h"

#include <benchmark/benchmark.h>

namespace {
struct Counting : halvo::link::ReplyHandlers
{
    long n = 0;
    bool take(const QByteArray &r)
    {
        n += r.at(2);
        return true;
    }
    bool Decode_Pass_Record(const QByteArray &r) override { return take(r); }
    bool Decode_Event_Log_Pointer(const QByteArray &r) override { return take(r); }
    bool Decode_Location_Reply(const QByteArray &r) override { return take(r); }
    bool Decode_Settings_Page(const QByteArray &r) override { return take(r); }
};

QByteArray mixedStream(int units)
{
    QByteArray s;
    for (int i = 0; i < units; ++i) {
        const char code = "!$-/?"[i % 5];
        s += 'D';
        s += code;
        s += QByteArray(36, static_cast<char>('a' + i % 26));
        s += "\n\r";
        if (i % 3 == 0)
            s += "Page 00490 Ev 1 12/05/26 10:00:00 Pass 05 Alarm\r";
        if (i % 50 == 0)
            s += "Halvo Base Unit V2.04 SN 000417\r";
    }
    return s;
}

void BM_ReceiveAndRoute(benchmark::State &state)
{
    const QByteArray stream = mixedStream(20000);
    const auto chunk = static_cast<qsizetype>(state.range(0));
    for (auto _ : state) {
        halvo::link::ReceiveAssembler a;
        Counting h;
        long lines = 0;
        for (qsizetype pos = 0; pos < stream.size(); pos += chunk) {
            a.push(stream.mid(pos, chunk));
            while (auto item = a.next()) {
                if (item->kind == halvo::link::ReceiveItem::Kind::Reply)
                    halvo::link::Decode_Reply(item->data, h);
                else
                    lines += item->data.size();
            }
        }
        benchmark::DoNotOptimize(h.n);
        benchmark::DoNotOptimize(lines);
    }
    state.SetBytesProcessed(state.iterations() * stream.size());
}
} // namespace

BENCHMARK(BM_ReceiveAndRoute)->Arg(1)->Arg(40)->Arg(4096);
BENCHMARK_MAIN();
