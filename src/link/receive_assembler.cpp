#include "receive_assembler.h"

#include "logging.h"

#include "frame.h"

namespace halvo::link {

namespace {
constexpr int UnitIdLength = 12;
} // namespace

bool Is_Identification_Line(const QByteArray &line)
{
    auto at = [&](qsizetype i) { return i < line.size() ? line.at(i) : '\0'; };
    return (at(0) == 'H' && at(1) == 'a') || (at(1) == 'H' && at(2) == 'a');
}

void ReceiveAssembler::push(const QByteArray &bytes)
{
    if (m_pos >= m_pending.size()) {
        m_pending = bytes;
        m_pos = 0;
    } else {
        m_pending.remove(0, m_pos);
        m_pending.append(bytes);
        m_pos = 0;
    }
}

void ReceiveAssembler::discardPending()
{
    m_pending.clear();
    m_pos = 0;
    resetAfterFailure();
}

void ReceiveAssembler::resetAfterFailure()
{
    m_frame.fill(0);
    m_writeIndex = 0;
    m_line = QByteArray(1, ' ');
}

std::optional<ReceiveItem> ReceiveAssembler::next()
{
    while (m_pos < m_pending.size()) {
        const auto b = static_cast<quint8>(m_pending.at(m_pos++));

        if (m_writeIndex >= FrameBufferSize) {
            // A text line without CR has filled the buffer; this byte has no place.
            resetAfterFailure();
            qCInfo(lcLink) << "a text line ran past the receive buffer";
            return ReceiveItem{ReceiveItem::Kind::Overflow, {}, {}};
        }
        m_frame[static_cast<size_t>(m_writeIndex)] = b;
        m_line.append(static_cast<char>(b));

        if (m_frame[0] == static_cast<quint8>(FrameStart)) {
            if (m_writeIndex != ReplyFrameSize - 1) {
                ++m_writeIndex;
                continue;
            }
            m_line = QByteArray(1, ' ');
            const bool terminated =
                m_frame[39] == static_cast<quint8>(CR) && m_frame[38] == static_cast<quint8>(LF);
            ReceiveItem item{
                terminated ? ReceiveItem::Kind::Reply : ReceiveItem::Kind::TerminatorError, {}, {}};
            if (terminated)
                item.data = QByteArray(reinterpret_cast<const char *>(m_frame.data()), ReplyFrameSize - 1);
            std::fill(m_frame.begin(), m_frame.begin() + 50, quint8{0});
            m_writeIndex = 0;
            return item;
        }

        if (b != static_cast<quint8>(CR)) {
            ++m_writeIndex;
            continue;
        }

        QByteArray line = m_line;
        // The very first line after start-up still carries the NUL the line buffer
        // started with. Only the NUL goes: an event line that happens to come first
        // is kept whole like every other.
        if (!line.isEmpty() && line.at(0) == '\0')
            line.remove(0, 1);
        m_line = QByteArray(1, ' ');
        m_writeIndex = 0;
        if (Is_Identification_Line(line))
            return ReceiveItem{ReceiveItem::Kind::Identification, line, line.left(UnitIdLength)};
        return ReceiveItem{ReceiveItem::Kind::EventLine, line, {}};
    }
    return std::nullopt;
}

} // namespace halvo::link
