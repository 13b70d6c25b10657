// libFuzzer target: arbitrary bytes, split into arbitrary receive events, through
// the receive assembler and reply routing, with a decoder that sometimes fails.
#include "link/receive_assembler.h"
#include "link/reply_router.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace {
struct Handlers : halvo::link::ReplyHandlers
{
    static bool check(const QByteArray &r)
    {
        if (r.size() != 39)
            std::abort();
        return static_cast<quint8>(r.at(2)) < 200;
    }
    bool Decode_Pass_Record(const QByteArray &r) override { return check(r); }
    bool Decode_Event_Log_Pointer(const QByteArray &r) override { return check(r); }
    bool Decode_Location_Reply(const QByteArray &r) override { return check(r); }
    bool Decode_Settings_Page(const QByteArray &r) override { return check(r); }
};
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    using halvo::link::ReceiveItem;
    halvo::link::ReceiveAssembler a;
    Handlers h;
    size_t pos = 0;
    while (pos < size) {
        // The first byte of each piece says how long the receive event is.
        const size_t len = (data[pos] % 97) + 1u;
        ++pos;
        const size_t take = std::min(len, size - pos);
        a.push(QByteArray(reinterpret_cast<const char *>(data + pos), static_cast<qsizetype>(take)));
        pos += take;
        while (auto item = a.next()) {
            bool failed = item->kind == ReceiveItem::Kind::Overflow;
            if (item->kind == ReceiveItem::Kind::Reply)
                failed = halvo::link::Decode_Reply(item->data, h) == halvo::link::RouteResult::Failed;
            if (item->kind == ReceiveItem::Kind::Identification && item->unitId.size() > 12)
                std::abort();
            if (failed) {
                a.discardPending();
                break;
            }
        }
        if (a.writeIndex() < 0 || a.writeIndex() > halvo::link::ReceiveAssembler::FrameBufferSize)
            std::abort();
        if (a.lineBuffer().size() > 400)
            std::abort();
    }
    return 0;
}
