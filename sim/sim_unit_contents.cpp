// What a new simulated unit holds, and the file that keeps what it was given
// between runs.
#include "sim_bytes.h"
#include "sim_unit.h"

#include <QFile>
#include <QTextStream>

namespace halvo::sim {

// Plausible limits and values for the 32 config parameters.
QByteArray SimUnit::Default_Settings_Page(int page)
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

QByteArray SimUnit::Event_Line(int page, int event, int generation)
{
    static const char *const kinds[] = {"Alarm", "Reset", "Connect", "Disconnect"};
    return "Page " + QByteArray::number(page).rightJustified(5, '0') + " Ev " +
           QByteArray::number(event + 1) + " 12/" + QByteArray::number(5 + generation % 20).rightJustified(2, '0') +
           "/26 10:" + QByteArray::number((page + event) % 60).rightJustified(2, '0') + ":00 Pass " +
           QByteArray::number(page % 72 + 1).rightJustified(2, '0') + ' ' + kinds[event % 4] + CR;
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
