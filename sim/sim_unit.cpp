#include "sim_unit.h"

#include "sim_bytes.h"
#include "sim_wire.h"
#ifdef Q_OS_UNIX
#include "pty_wire.h"
#endif

#include <QFile>

#include <utility>

namespace halvo::sim {

namespace {
constexpr int ReplyData = 36;
// The link carries 3840 bytes a second: 38 bytes every 10 ms.
constexpr int PacedChunk = 38;
constexpr int PacedIntervalMs = 10;
} // namespace

SimUnit::SimUnit(QObject *parent) : QObject(parent)
{
    for (int i = 0; i < PassCount; ++i)
        m_passes[static_cast<size_t>(i)] = Default_Pass_Record(i);
    for (int p = 0; p < 4; ++p)
        m_settings[static_cast<size_t>(p)] = Default_Settings_Page(p);
    for (int s = 0; s < LocationCount; ++s)
        m_locations[static_cast<size_t>(s)] = padded("Zone " + QByteArray::number(s + 1), 16, ' ');
    m_clock = QByteArray(19, ' ');
    m_bannerTimer.setInterval(3000);
    connect(&m_bannerTimer, &QTimer::timeout, this, &SimUnit::sendBanner);
    m_outTimer.setSingleShot(true);
    connect(&m_outTimer, &QTimer::timeout, this, &SimUnit::pumpOut);
}

SimUnit::~SimUnit()
{
    if (m_wire && m_wire != m_pty.get())
        m_wire->hangUp(); // a link inside the tool: the unit is gone
}

bool SimUnit::start(QString *error)
{
#ifdef Q_OS_UNIX
    auto pty = std::make_unique<PtyWire>(*this);
    if (!pty->open(error))
        return false;
    m_pty = std::move(pty);
    attach(m_pty.get());
    return true;
#else
    if (error)
        *error = QStringLiteral("a pseudo-terminal needs Linux: the demo runs inside the tool");
    return false;
#endif
}

void SimUnit::attach(SimWire *wire)
{
    if (!m_started.isValid())
        m_started.start();
    m_wire = wire;
    m_waitingForWire = false;
    if (!wire) {
        m_bannerTimer.stop();
        m_outTimer.stop();
        m_out.clear();
    } else if (m_bannerTimer.interval() > 0) {
        m_bannerTimer.start();
    }
}

QString SimUnit::devicePath() const
{
    return m_wire ? m_wire->path() : QString();
}

void SimUnit::hangUp()
{
    if (!m_wire)
        return;
    SimWire *wire = m_wire;
    attach(nullptr);
    wire->hangUp();
    emit hungUpSignal();
}

void SimUnit::setBannerInterval(int ms)
{
    m_bannerTimer.setInterval(ms);
    if (ms <= 0)
        m_bannerTimer.stop();
    else if (m_wire)
        m_bannerTimer.start();
}

void SimUnit::sendBanner()
{
    // With nobody reading the pty its buffer fills up; a real unit's banners would
    // simply be lost on the wire, so they do not pile up here either.
    if (m_out.isEmpty())
        queueOut(m_banner);
}

void SimUnit::sendRaw(const QByteArray &bytes)
{
    queueOut(bytes);
}

void SimUnit::setPassRecord(int index, const QByteArray &record)
{
    m_passes[static_cast<size_t>(index)] = padded(record, RecordSize, '\0');
}

void SimUnit::setSettingsPage(int page, const QByteArray &bytes)
{
    m_settings[static_cast<size_t>(page)] = padded(bytes, ParamCount, '\0');
}

void SimUnit::take(const QByteArray &bytes)
{
    m_in.append(bytes);
    parseRequests();
}

void SimUnit::parseRequests()
{
    while (!m_in.isEmpty() && m_wire) {
        const qsizetype start = m_in.indexOf('D');
        if (start < 0) {
            m_badFrames += m_in.isEmpty() ? 0 : 1;
            m_in.clear();
            return;
        }
        if (start > 0) {
            ++m_badFrames;
            m_in.remove(0, start);
        }
        if (m_in.size() < 4)
            return;
        const int last = static_cast<quint8>(m_in.at(3));
        const int total = last + 4;
        if (last < 4 || total > 101) {
            ++m_badFrames;
            m_in.remove(0, 1);
            continue;
        }
        if (m_in.size() < total)
            return;
        const QByteArray frame = m_in.left(total);
        unsigned sum = 0;
        for (int i = 0; i <= last; ++i)
            sum += static_cast<quint8>(frame.at(i));
        const bool ok = frame.at(2) == 0 && static_cast<quint8>(frame.at(last + 1)) == (sum & 0xFF) &&
                        frame.at(last + 2) == LF && frame.at(last + 3) == CR;
        if (!ok) {
            ++m_badFrames;
            m_in.remove(0, 1);
            continue;
        }
        m_in.remove(0, total);
        handleFrame(frame);
    }
}

QByteArray SimUnit::replyFrame(char code, const QByteArray &data)
{
    QByteArray f;
    f.append('D');
    f.append(m_faults.unknownReplyCode ? '?' : code);
    f.append(padded(data, ReplyData, ' '));
    f.append(m_faults.badTerminator ? CR : LF);
    f.append(CR);
    const int n = m_replyCount++;
    if (m_faults.flipReplies.contains(n))
        f[10] = static_cast<char>(f.at(10) ^ 0x01); // a data byte, never the code or the terminator
    if (n == m_faults.repeatReply)
        f += f;
    return f;
}

void SimUnit::handleFrame(const QByteArray &frame)
{
    m_received.append(QString::fromLatin1(frame.toHex(' ')).toUpper());
    if (!m_recordFile.isEmpty()) {
        QFile f(m_recordFile);
        if (f.open(QIODevice::Append | QIODevice::Text))
            f.write(
                (m_recordTimes ? QByteArray::number(m_started.nsecsElapsed() / 1000) + ' ' : QByteArray()) +
                frame.toHex(' ').toUpper() + '\n');
    }
    emit frameReceived(frame);
    const int frameNumber = ++m_frameCount;
    // Restarting: what comes meanwhile is not heard.
    if (m_faults.deafAfterFrames >= 0 && frameNumber > m_faults.deafAfterFrames &&
        frameNumber <= m_faults.deafAfterFrames + m_faults.deafFrames)
        return;

    const char code = frame.at(1);
    const bool isRead = code == '!' || code == '$' || code == '-' || code == '.' || code == ')';
    if (isRead && m_faults.longLine)
        queueOut(QByteArray(400, 'x') + CR);

    const bool isStore = code == '"' || code == '#' || code == '+';
    const bool dropped = isStore && m_faults.dropStores.contains(m_storeCount++);
    bool stored = false;
    switch (dropped ? '\0' : code) {
    case '!': {
        QByteArray out;
        for (int i = 0; i < PassCount; ++i) {
            QByteArray rec = m_passes[static_cast<size_t>(i)];
            if (m_faults.passIndexOutOfRange && i == 0)
                rec[0] = static_cast<char>(72);
            if (m_faults.optionModeAbove8)
                rec[26] = 9;
            out += replyFrame('!', rec);
        }
        queueOut(out);
        break;
    }
    case '$': {
        QByteArray out;
        for (int p = 0; p < 4; ++p)
            out += replyFrame('$',
                              QByteArray(1, static_cast<char>('0' + p)) + m_settings[static_cast<size_t>(p)]);
        queueOut(out);
        break;
    }
    case '-': {
        QByteArray out;
        for (int s = 0; s < LocationCount; ++s)
            out += replyFrame('-', QByteArray::number(s).rightJustified(2, '0') +
                                       m_locations[static_cast<size_t>(s)]);
        queueOut(out);
        break;
    }
    case '.': {
        const int p = m_logPointer;
        QByteArray data;
        data.append(static_cast<char>(p / 256))
            .append(static_cast<char>((p / 16) % 16))
            .append(static_cast<char>(p % 16));
        queueOut(replyFrame('/', data));
        break;
    }
    case ')': {
        const int first = static_cast<quint8>(frame.at(4)) * 256 + static_cast<quint8>(frame.at(5)) * 16 +
                          static_cast<quint8>(frame.at(6));
        const int count = static_cast<quint8>(frame.at(7));
        QByteArray out;
        for (int pg = 0; pg < count; ++pg)
            for (int e = 0; e < 4; ++e) {
                if (m_faults.hangUpAfterLines >= 0 && m_linesSent >= m_faults.hangUpAfterLines) {
                    m_hangUpWhenSent = true;
                    break;
                }
                out += Event_Line((first + pg) % 32481, e, m_logGeneration);
                ++m_linesSent;
            }
        queueOut(out);
        break;
    }
    case '"':
        if (frame.size() == 43) {
            const int idx = static_cast<quint8>(frame.at(4));
            if (idx < PassCount) {
                m_passes[static_cast<size_t>(idx)] = frame.mid(4, RecordSize);
                stored = true;
            }
        }
        break;
    case '#':
        if (frame.size() == 39) {
            m_settings[3] = frame.mid(4, ParamCount);
            stored = true;
        }
        break;
    case '+':
        if (frame.size() == 43) {
            const int slot = static_cast<quint8>(frame.at(4));
            if (slot < LocationCount) {
                m_locations[static_cast<size_t>(slot)] = frame.mid(5, 16);
                stored = true;
            }
        }
        break;
    case '(':
        m_logPointer = 0;
        ++m_clears;
        ++m_logGeneration;
        stored = true;
        break;
    case '&':
        if (frame.size() == 26) {
            m_clock = frame.mid(4, 19);
            stored = true;
        }
        break;
    default:
        break;
    }
    if (stored)
        saveState();
    if (m_faults.hangUpAfterFrames >= 0 && m_frameCount >= m_faults.hangUpAfterFrames)
        hangUp();
}

void SimUnit::queueOut(const QByteArray &bytes)
{
    if (!m_wire)
        return;
    m_out.append(bytes);
    if (!m_outTimer.isActive() && !m_waitingForWire)
        pumpOut();
}

void SimUnit::pumpOut()
{
    m_waitingForWire = false;
    if (!m_wire || m_out.isEmpty())
        return;
    int chunk = static_cast<int>(m_out.size());
    int interval = 0;
    if (m_faults.pace38400) {
        chunk = PacedChunk;
        interval = PacedIntervalMs;
    } else if (m_faults.chunkSize > 0) {
        chunk = m_faults.chunkSize;
        interval = m_faults.chunkDelayMs;
    }
    chunk = std::min<int>(chunk, static_cast<int>(m_out.size()));
    const qint64 n = m_wire->send(m_out.left(chunk));
    if (n > 0) {
        m_out.remove(0, n);
    } else if (n == 0) {
        m_waitingForWire = true; // full: wireReady() goes on
        return;
    } else {
        m_out.clear(); // nobody can take the bytes any more
    }
    if (!m_out.isEmpty())
        m_outTimer.start(interval);
    else if (m_hangUpWhenSent)
        QTimer::singleShot(50, this, &SimUnit::hangUp); // the last bytes reach the tool first
}

} // namespace halvo::sim
