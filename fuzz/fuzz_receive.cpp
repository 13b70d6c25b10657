// libFuzzer target: arbitrary bytes, split into arbitrary receive events, through
// the receive assembler and reply routing into every decoder the window uses (pass
// records, settings pages with the priority refresh, location names, the event log
// pointer). Whatever arrives, nothing may crash and every decoded value must be one
// the window can hold.
#include "eventlog/event_requests.h"
#include "link/receive_assembler.h"
#include "link/reply_router.h"
#include "passes/pass_codec.h"
#include "settings/config_params.h"
#include "settings/display_priority.h"
#include "settings/locations.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace {
using namespace halvo;

void check(bool ok)
{
    if (!ok)
        std::abort();
}

struct Decoders : link::ReplyHandlers
{
    settings::ParamTexts values;
    settings::DisplayPriority priority;

    Decoders()
    {
        values.fill(QStringLiteral("0"));
        priority.Init(values);
    }
    bool Decode_Pass_Record(const QByteArray &r) override
    {
        check(r.size() == 39);
        const auto d = passes::Decode_Pass_Record(r);
        if (d)
            check(d->row >= 1 && d->row <= passes::PassCount && d->optionMode >= 0 && d->optionMode <= 8 &&
                  d->columns[passes::ColUserName].size() == 16 &&
                  d->columns[passes::ColAlarmSteering].size() == 19);
        return d.has_value();
    }
    bool Decode_Event_Log_Pointer(const QByteArray &r) override
    {
        const auto p = eventlog::Decode_Event_Log_Pointer(r);
        if (p)
            check(*p >= 0 && *p < 32767);
        return p.has_value();
    }
    bool Decode_Location_Reply(const QByteArray &r) override
    {
        if (const auto l = settings::Decode_Location_Reply(r))
            check(l->slot >= 0 && l->slot < settings::LocationCount &&
                  l->alias.size() == settings::AliasLength);
        return true;
    }
    bool Decode_Settings_Page(const QByteArray &r) override
    {
        const auto page = settings::Decode_Settings_Page(r);
        if (!page || page->kind != settings::SettingsPageKind::Values)
            return true;
        for (int i = 0; i < settings::ParamCount; ++i)
            values[static_cast<size_t>(i)] = QString::number(page->bytes[static_cast<size_t>(i)]);
        const auto refresh = priority.Class_Refresh(values);
        // The frame the next store would send is always buildable from a page.
        check(settings::Build_Config_Frame(values).has_value());
        return refresh.ok;
    }
};
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    using link::ReceiveItem;
    link::ReceiveAssembler a;
    Decoders h;
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
                failed = link::Decode_Reply(item->data, h) == link::RouteResult::Failed;
            if (item->kind == ReceiveItem::Kind::Identification)
                check(item->unitId.size() <= 12);
            if (failed) {
                a.discardPending();
                break;
            }
        }
        check(a.writeIndex() >= 0 && a.writeIndex() <= link::ReceiveAssembler::FrameBufferSize);
        check(a.lineBuffer().size() <= 400);
    }
    return 0;
}
