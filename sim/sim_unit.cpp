#include "sim_unit.h"

#include "sim_wire.h"
#ifdef Q_OS_UNIX
#include "pty_wire.h"
#endif

#include <QFile>
#include <QTextStream>

#include <utility>

namespace halvo::sim {

namespace {
constexpr char LF = 10;
constexpr char CR = 13;
constexpr int ReplyData = 36;
// The link carries 3840 bytes a second: 38 bytes every 10 ms.
constexpr int PacedChunk = 38;
constexpr int PacedIntervalMs = 10;

char hexDigit(int v)
{
    return "0123456789ABCDEF"[v & 15];
}

QByteArray padded(QByteArray bytes, int size, char fill)
{
    bytes = bytes.left(size);
    while (bytes.size() < size)
        bytes.append(fill);
    return bytes;
}

// Plausible limits and values for the 32 config parameters.
QByteArray settingsDefaults(int page)
{
    QByteArray p(SimUnit::ParamCount, '\0');
    auto set = [&p](int i, int v) { p[i] = static_cast<char>(v); };
    switch (page) {
    case 0: // maxima
        p.fill(static_cast<char>(255));
        set(1, 10), set(2, 120), set(3, 1), set(4, 10), set(5, 60), set(6, 60), set(7, 72), set(8, 2),
            set(9, 1);
        for (int i : {16, 17, 18, 19, 21, 22})
            set(i, 6);
        set(20, 1);
        for (int i = 26; i <= 30; ++i)
            set(i, 1);
        break;
    case 1: // minima
        set(1, 1), set(2, 5), set(4, 1), set(5, 1), set(6, 1), set(7, 1);
        for (int i : {16, 17, 18, 19, 21, 22})
            set(i, 1);
        break;
    case 2: // defaults
        set(1, 5), set(2, 30), set(3, 1), set(4, 3), set(5, 30), set(6, 10), set(7, 8), set(9, 1), set(26, 1);
        set(16, 1), set(17, 4), set(18, 5), set(19, 6), set(21, 3), set(22, 2);
        break;
    default: // values
        set(1, 7), set(2, 45), set(3, 1), set(4, 4), set(5, 20), set(6, 15), set(7, 12), set(8, 1);
        set(16, 1), set(17, 4), set(18, 5), set(19, 6), set(21, 3), set(22, 2), set(26, 1), set(28, 1);
        break;
    }
    return p;
}
} // namespace

SimUnit::SimUnit(QObject *parent) : QObject(parent)
{
    for (int i = 0; i < PassCount; ++i)
        m_passes[static_cast<size_t>(i)] = Default_Pass_Record(i);
    for (int p = 0; p < 4; ++p)
        m_settings[static_cast<size_t>(p)] = settingsDefaults(p);
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

QByteArray SimUnit::Default_Pass_Record(int index)
{
    QByteArray r;
    r.append(static_cast<char>(index));
    r.append(padded("Pass Device " + QByteArray::number(index + 1).rightJustified(2, '0'), 16, ' '));
    r.append(' ');
    const int sys = (index % 254) + 1;
    r.append(hexDigit(sys >> 4)).append(hexDigit(sys));
    r.append(static_cast<char>(index % 4)); // option flags
    const int user = (index + 1) % 100;     // user ID, as the unit encodes it
    r.append(static_cast<char>('0' + user / 16)).append(hexDigit(user % 16));
    r.append(static_cast<char>(30 + index % 31)); // signal timeout
    const int alarm = 1 << (index % 16);
    r.append(static_cast<char>(alarm >> 8)).append(static_cast<char>(alarm & 0xFF));
    r.append(static_cast<char>(index % 9));  // option mode
    r.append(static_cast<char>(10 + index)); // option trigger
    const int opt = 0x8000 >> (index % 16);
    r.append(static_cast<char>(opt >> 8)).append(static_cast<char>(opt & 0xFF));
    r.append("456789");
    return r;
}

QByteArray SimUnit::Event_Line(int page, int event)
{
    static const char *const kinds[] = {"Alarm", "Reset", "Connect", "Disconnect"};
    return "Page " + QByteArray::number(page).rightJustified(5, '0') + " Ev " +
           QByteArray::number(event + 1) +
           " 12/05/26 10:" + QByteArray::number((page + event) % 60).rightJustified(2, '0') + ":00 Pass " +
           QByteArray::number(page % 72 + 1).rightJustified(2, '0') + ' ' + kinds[event % 4] + CR;
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

QByteArray SimUnit::replyFrame(char code, const QByteArray &data) const
{
    QByteArray f;
    f.append('D');
    f.append(m_faults.unknownReplyCode ? '?' : code);
    f.append(padded(data, ReplyData, ' '));
    f.append(m_faults.badTerminator ? CR : LF);
    f.append(CR);
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
    ++m_frameCount;

    const char code = frame.at(1);
    const bool isRead = code == '!' || code == '$' || code == '-' || code == '.' || code == ')';
    if (isRead && m_faults.longLine)
        queueOut(QByteArray(400, 'x') + CR);

    const bool isStore = code == '"' || code == '#' || code == '+';
    const bool dropped = isStore && m_storeCount++ == m_faults.dropStore;
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
            for (int e = 0; e < 4; ++e)
                out += Event_Line((first + pg) % 32481, e);
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
}

bool SimUnit::setStateFile(const QString &path, QString *error)
{
    m_stateFile = path;
    QFile f(path);
    if (!f.exists())
        return true;
    if (!f.open(QIODevice::ReadOnly | QIODevice::Text)) {
        if (error)
            *error = f.errorString();
        return false;
    }
    while (!f.atEnd()) {
        const QList<QByteArray> parts = f.readLine().trimmed().split(' ');
        if (parts.size() != 3)
            continue;
        bool ok = false;
        const int i = parts[1].toInt(&ok);
        const QByteArray v = QByteArray::fromHex(parts[2]);
        if (!ok || i < 0)
            continue;
        if (parts[0] == "P" && i < PassCount && v.size() == RecordSize)
            m_passes[static_cast<size_t>(i)] = v;
        else if (parts[0] == "S" && i < 4 && v.size() == ParamCount)
            m_settings[static_cast<size_t>(i)] = v;
        else if (parts[0] == "L" && i < LocationCount && v.size() == 16)
            m_locations[static_cast<size_t>(i)] = v;
        else if (parts[0] == "C")
            m_clock = v;
        else if (parts[0] == "E")
            m_logPointer = i;
    }
    return true;
}

void SimUnit::saveState() const
{
    if (m_stateFile.isEmpty())
        return;
    QFile f(m_stateFile);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Text))
        return;
    QTextStream out(&f);
    for (int i = 0; i < PassCount; ++i)
        out << "P " << i << ' ' << m_passes[static_cast<size_t>(i)].toHex() << '\n';
    for (int p = 0; p < 4; ++p)
        out << "S " << p << ' ' << m_settings[static_cast<size_t>(p)].toHex() << '\n';
    for (int s = 0; s < LocationCount; ++s)
        out << "L " << s << ' ' << m_locations[static_cast<size_t>(s)].toHex() << '\n';
    out << "C 0 " << m_clock.toHex() << '\n';
    out << "E " << m_logPointer << " 00\n";
}

} // namespace halvo::sim
