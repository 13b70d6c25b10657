#pragma once

namespace halvo::eventlog {

// Reads the last N pages of the event log in paced chunks, driven by a timer.
//
// The unit gives no sign that it has sent all of a chunk's event lines; the logger
// waits for four ticks in a row without a line before asking for the next chunk.
// It asks for the pointer first, plans on the tick after, then requests the N pages
// that end just before the pointer, oldest chunk first, at most ChunkPages at once.
class EventLogger
{
public:
    enum class State { Idle, PointerWanted, Plan, Paced };
    static constexpr int StartIntervalMs = 500;
    static constexpr int PacedIntervalMs = 200;
    static constexpr int QuietTicksBeforeChunk = 4;

    // What a tick wants sent to the unit; the download that drives the logger sends it.
    struct Action
    {
        enum class Kind { None, ReadPointer, ReadPages };
        Kind kind = Kind::None;
        int start = 0;     // pages are asked for as the count pages ending before start
        int firstPage = 0; // the first of them
        int count = 0;
    };

    // "Read Last # of Pages of Events": from any state, start again from the pointer.
    void start();
    // Every received text line but the unit's banner.
    void lineReceived() { m_quietTicks = 0; }
    // Abandons a read (the link broke, a request could not be sent).
    void stop() { m_state = State::Idle; }

    // One timer tick. shownPointer is the pointer the unit last sent, as the tool
    // shows it; pagesWanted the pages asked for (1..32479).
    Action Event_Logger_Tick(int shownPointer, int pagesWanted);

    // The timer interval the logger wants from now on.
    int intervalMs() const { return m_intervalMs; }
    State state() const { return m_state; }
    int quietTicks() const { return m_quietTicks; }
    int chunkEndPage() const { return m_chunkEndPage; }
    int pagesRemaining() const { return m_pagesRemaining; }

private:
    int chunkSize() const;

    State m_state = State::Idle;
    int m_quietTicks = 0;
    int m_chunkEndPage = 0;   // the start handed to the next chunk: the page after its last
    int m_pagesRemaining = 0; // pages still to ask for
    int m_intervalMs = StartIntervalMs;
};

} // namespace halvo::eventlog
