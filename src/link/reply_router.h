#pragma once

#include <QByteArray>

namespace halvo::link {

// The decoders of each data kind. Each takes the 39-character reply (bytes 0..38 of
// the frame) and returns false when it cannot place the data; the receive path then
// reports a communications error.
class ReplyHandlers
{
public:
    virtual ~ReplyHandlers() = default;
    virtual bool Decode_Pass_Record(const QByteArray &reply) = 0;
    virtual bool Decode_Event_Log_Pointer(const QByteArray &reply) = 0;
    virtual bool Decode_Location_Reply(const QByteArray &reply) = 0;
    virtual bool Decode_Settings_Page(const QByteArray &reply) = 0;
};

enum class RouteResult { Dropped, Decoded, Failed };

// Routes a reply by its code, tried in the order "!", "/", "-", "$". A reply with
// any other code, or not starting with "D", is dropped without a word.
RouteResult Decode_Reply(const QByteArray &reply, ReplyHandlers &handlers);

} // namespace halvo::link
