#pragma once

#include <QByteArray>

#include <array>
#include <optional>

namespace halvo::link {

// What the assembler found in the byte stream, in the order the bytes arrived.
struct ReceiveItem
{
    enum class Kind {
        Reply,           // a 40-byte frame with LF, CR at bytes 38, 39; data = bytes 0..38
        TerminatorError, // a 40-byte frame whose bytes 38, 39 are not LF, CR; not decoded
        Identification,  // the unit's banner line; data = the line, unitId = its first 12 characters
        EventLine,       // any other text line, whole, leading blank and final CR included
        Overflow,        // a text line ran past the 301-byte frame buffer; the byte is dropped
    };
    Kind kind;
    QByteArray data;
    QByteArray unitId;
};

// Assembles reply frames and text lines from the unit's byte stream.
//
// The unit sends two kinds of data on one link: 40-byte binary reply frames that
// start with "D" and end LF, CR, and text lines ended by CR (its banner, and event
// lines). A "D" as the first byte after a completed frame or line always starts a
// frame; the next 39 bytes belong to it whatever they are.
//
// Bytes of one receive event are handed over with push(); next() then yields the
// complete items one by one. The result does not depend on how the bytes are split
// across push() calls. When the caller fails to handle an item it calls
// discardPending(), which drops the untaken bytes of that event and starts afresh.
class ReceiveAssembler
{
public:
    static constexpr int FrameBufferSize = 301;
    static constexpr int ReplyFrameSize = 40;

    void push(const QByteArray &bytes);
    std::optional<ReceiveItem> next();

    // Drop what is left of the bytes pushed so far and reset the buffers as after a
    // completed frame.
    void discardPending();
    bool hasPending() const { return m_pos < m_pending.size(); }

    int writeIndex() const { return m_writeIndex; }
    const QByteArray &lineBuffer() const { return m_line; }

private:
    void resetAfterFailure();

    std::array<quint8, FrameBufferSize> m_frame{};
    int m_writeIndex = 0;
    // The bytes of the current frame or line as text, behind one leading character:
    // a NUL until the first frame or line completes, a blank after that.
    QByteArray m_line = QByteArray(1, '\0');
    QByteArray m_pending;
    qsizetype m_pos = 0;
};

// True when a completed text line is the unit's banner: the product name's first
// two letters, case as shown, at the very start or behind one leading character.
bool Is_Identification_Line(const QByteArray &line);

} // namespace halvo::link
