#include "reply_router.h"

#include "frame.h"

namespace halvo::link {

RouteResult Decode_Reply(const QByteArray &reply, ReplyHandlers &handlers)
{
    if (reply.size() < 2 || reply.at(0) != FrameStart)
        return RouteResult::Dropped;
    bool ok = true;
    switch (reply.at(1)) {
    case ReplyCode::PassRecord:
        ok = handlers.Decode_Pass_Record(reply);
        break;
    case ReplyCode::EventLogPointer:
        ok = handlers.Decode_Event_Log_Pointer(reply);
        break;
    case ReplyCode::Location:
        ok = handlers.Decode_Location_Reply(reply);
        break;
    case ReplyCode::SettingsPage:
        ok = handlers.Decode_Settings_Page(reply);
        break;
    default:
        return RouteResult::Dropped;
    }
    return ok ? RouteResult::Decoded : RouteResult::Failed;
}

} // namespace halvo::link
