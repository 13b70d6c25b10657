#include "pass_codec.h"

#include "base/field_text.h"
#include "link/frame.h"

namespace halvo::passes {

namespace {
constexpr int UserNameLength = 16;
const char *const Filler = "456789";

QString bitText(unsigned value, int bits)
{
    QString t;
    for (int b = bits - 1; b >= 0; --b) {
        t += (value >> b) & 1u ? QLatin1Char('1') : QLatin1Char('0');
        if (b % 4 == 0 && b > 0)
            t += QLatin1Char(' ');
    }
    return t;
}

std::optional<unsigned> bitsFromText(const QString &text, int bits)
{
    const int length = bits + bits / 4 - 1;
    if (text.size() < length)
        return std::nullopt;
    unsigned v = 0;
    int bit = bits - 1;
    for (int pos = 0; pos < length; ++pos) {
        if (pos % 5 == 4)
            continue; // the blank between groups
        if (text.at(pos) == QLatin1Char('1'))
            v |= 1u << bit;
        --bit;
    }
    return v;
}

bool fail(QString *error, const QString &why)
{
    if (error)
        *error = why;
    return false;
}

// One character per byte: only characters of the single-byte set can be sent.
bool appendSingleByte(QByteArray &out, const QString &text, QString *error, const char *what)
{
    const auto bytes = base::To_Single_Byte(text);
    if (!bytes)
        return fail(error,
                    QStringLiteral("%1 holds a character the unit cannot show").arg(QLatin1String(what)));
    out.append(*bytes);
    return true;
}
} // namespace

const QStringList &Option_Mode_Names()
{
    static const QStringList names = {
        QStringLiteral("None Selected"), QStringLiteral("Alarm Motion"), QStringLiteral("Alarm Panic"),
        QStringLiteral("In Location"),   QStringLiteral("Signal Loss"),  QStringLiteral("Off  "),
        QStringLiteral("Low Battery"),   QStringLiteral("EVAC Ack'd"),   QStringLiteral("EVAC Transmited"),
    };
    return names;
}

const QStringList &Column_Headers()
{
    static const QStringList headers = {
        QStringLiteral("Index#"),       QStringLiteral("User Names"),      QStringLiteral("System ID"),
        QStringLiteral("User ID"),      QStringLiteral("Signal Timeout"),  QStringLiteral("PS on Alarm"),
        QStringLiteral("PS Opt. Mode"), QStringLiteral("PS Opt. Trigger"), QStringLiteral("PS2 Map"),
        QStringLiteral("Option Flags"), QString(12, QLatin1Char(' ')),     QString(12, QLatin1Char(' ')),
        QStringLiteral("Opt Trig"),
    };
    return headers;
}

const std::array<int, ColumnCount> &Column_Widths()
{
    // Twips / 15; the last three columns are practically hidden.
    static const std::array<int, ColumnCount> widths = {53, 113, 67, 53, 93, 133, 93, 93, 133, 80, 1, 1, 1};
    return widths;
}

PassRow Default_Pass_Row(int n)
{
    PassRow r;
    r[ColIndex] = QString::number(n);
    r[ColUserName] = QStringLiteral("Username ") + QString::number(n) + QString(7, QLatin1Char(' '));
    r[ColSystemId] = QStringLiteral("05");
    r[ColUserId] = QString::number(n);
    r[ColSignalTimeout] = QStringLiteral("0");
    r[ColAlarmSteering] = QStringLiteral("0000 0000 0000 0001");
    r[ColOptionModeName] = QStringLiteral("None Selected");
    r[ColOptionTrigger] = QStringLiteral("15");
    r[ColOptionSteering] = QStringLiteral("0001 0000 0000 0000");
    r[ColOptionFlags] = QStringLiteral("0000 0000");
    r[ColUnused10] = QString(4, QLatin1Char(' '));
    r[ColUnused11] = QString(4, QLatin1Char(' '));
    r[ColOptionMode] = QStringLiteral("0");
    return r;
}

QString Bit_Text_8(quint8 value)
{
    return bitText(value, 8);
}
QString Bit_Text_16(quint16 value)
{
    return bitText(value, 16);
}

std::optional<quint8> Bits_From_Text_8(const QString &text)
{
    if (auto v = bitsFromText(text, 8))
        return static_cast<quint8>(*v);
    return std::nullopt;
}

std::optional<quint16> Bits_From_Text_16(const QString &text)
{
    if (auto v = bitsFromText(text, 16))
        return static_cast<quint16>(*v);
    return std::nullopt;
}

std::optional<QByteArray> User_Id_Chars(int value)
{
    const int first = 48 + (value - value % 16) / 16;
    if (value < 0 || first > 255)
        return std::nullopt;
    QByteArray c;
    c.append(static_cast<char>(first));
    c.append("0123456789ABCDEF"[value % 16]);
    return c;
}

int User_Id_Value(char c1, char c2)
{
    const int a = static_cast<unsigned char>(c1), b = static_cast<unsigned char>(c2);
    return (a - 48) * 16 + (b > 57 ? b - 55 : b - 48);
}

std::optional<QByteArray> Encode_Pass_Record(int index, const PassRow &row, QString *error)
{
    auto failed = [&](const QString &why) -> std::optional<QByteArray> {
        fail(error, why);
        return std::nullopt;
    };
    auto byteOf = [&](int col, const char *what) -> std::optional<quint8> {
        const QString &text = row[static_cast<size_t>(col)];
        const auto v = base::Parse_Int16(text);
        if (!v || *v < 0 || *v > 255) {
            fail(error, QStringLiteral("%1 \"%2\" is not a number 0..255").arg(QLatin1String(what), text));
            return std::nullopt;
        }
        return static_cast<quint8>(*v);
    };
    auto bitsOf16 = [&](int col, const char *what) -> std::optional<quint16> {
        const auto v = Bits_From_Text_16(row[static_cast<size_t>(col)]);
        if (!v)
            fail(error, QStringLiteral("%1 \"%2\" is not a 16-bit text")
                            .arg(QLatin1String(what), row[static_cast<size_t>(col)]));
        return v;
    };
    if (index < 0 || index > 255)
        return failed(QStringLiteral("pass index %1 cannot be sent").arg(index));
    QByteArray r;
    r.reserve(RecordSize);
    r.append(static_cast<char>(index));

    const QString &name = row[ColUserName];
    if (name.size() < UserNameLength)
        return failed(QStringLiteral("user name \"%1\" is shorter than 16 characters").arg(name));
    if (!appendSingleByte(r, name.left(UserNameLength), error, "user name"))
        return std::nullopt;
    r.append(' ');

    const QString &sys = row[ColSystemId];
    if (sys.size() < 2)
        return failed(QStringLiteral("system ID \"%1\" is shorter than 2 characters").arg(sys));
    if (!appendSingleByte(r, sys.left(2), error, "system ID"))
        return std::nullopt;

    const auto flags = Bits_From_Text_8(row[ColOptionFlags]);
    if (!flags)
        return failed(QStringLiteral("option flags \"%1\" are not an 8-bit text").arg(row[ColOptionFlags]));
    r.append(static_cast<char>(*flags));

    const auto userId = base::Parse_Int16(row[ColUserId]);
    const auto userChars = userId ? User_Id_Chars(*userId) : std::nullopt;
    if (!userChars)
        return failed(QStringLiteral("user ID \"%1\" cannot be sent").arg(row[ColUserId]));
    r.append(*userChars);

    const auto timeout = byteOf(ColSignalTimeout, "signal timeout");
    const auto alarm = timeout ? bitsOf16(ColAlarmSteering, "port steering on alarm") : std::nullopt;
    const auto mode = alarm ? byteOf(ColOptionMode, "option mode") : std::nullopt;
    const auto trigger = mode ? byteOf(ColOptionTrigger, "option trigger") : std::nullopt;
    const auto option = trigger ? bitsOf16(ColOptionSteering, "port steering on option") : std::nullopt;
    if (!option)
        return std::nullopt;
    r.append(static_cast<char>(*timeout));
    r.append(static_cast<char>(*alarm >> 8)).append(static_cast<char>(*alarm & 0xFF));
    r.append(static_cast<char>(*mode)).append(static_cast<char>(*trigger));
    r.append(static_cast<char>(*option >> 8)).append(static_cast<char>(*option & 0xFF));
    r.append(Filler);
    return r;
}

std::optional<QByteArray> Build_Pass_Frame(int index, const PassRow &row, QString *error)
{
    const auto record = Encode_Pass_Record(index, row, error);
    if (!record)
        return std::nullopt;
    return link::Build_Request_Frame(link::Cmd::StorePass, *record);
}

std::optional<DecodedPass> Decode_Pass_Record(const QByteArray &reply, QString *error)
{
    if (reply.size() < 32) {
        fail(error, QStringLiteral("pass record reply too short"));
        return std::nullopt;
    }
    auto byte = [&](int i) { return static_cast<quint8>(reply.at(i)); };
    int index = byte(2);
    if (index == 253)
        index = 13; // the unit reports pass 13 as 253
    if (index >= PassCount) {
        fail(error, QStringLiteral("pass record for pass %1, which has no row").arg(index));
        return std::nullopt;
    }
    const int mode = byte(28);
    if (mode >= Option_Mode_Names().size()) {
        fail(error, QStringLiteral("pass record with option mode %1").arg(mode));
        return std::nullopt;
    }
    DecodedPass d;
    d.row = index + 1;
    d.optionMode = mode;
    d.columns[ColUserName] = QString::fromLatin1(reply.mid(3, 16));
    d.columns[ColSystemId] = QString::fromLatin1(reply.mid(20, 2));
    d.columns[ColOptionFlags] = Bit_Text_8(byte(22));
    d.columns[ColUserId] = QString::number(User_Id_Value(reply.at(23), reply.at(24)));
    d.columns[ColSignalTimeout] = QString::number(byte(25));
    d.columns[ColAlarmSteering] = Bit_Text_16(static_cast<quint16>(byte(26) << 8 | byte(27)));
    d.columns[ColOptionMode] = QString::number(mode);
    d.columns[ColOptionModeName] = Option_Mode_Names().at(mode);
    d.columns[ColOptionTrigger] = QString::number(byte(29));
    d.columns[ColOptionSteering] = Bit_Text_16(static_cast<quint16>(byte(30) << 8 | byte(31)));
    return d;
}

QString Sent_Form(int column, const PassRow &row)
{
    const QString &text = row[static_cast<size_t>(column)];
    auto form = [&](std::optional<int> v) { return v ? QString::number(*v) : QLatin1Char('?') + text; };
    switch (column) {
    case ColUserName:
        return text.left(UserNameLength);
    case ColSystemId:
        return text.left(2);
    case ColOptionModeName:
        return form(base::Parse_Int16(row[ColOptionMode]));
    case ColAlarmSteering:
    case ColOptionSteering:
        return form(Bits_From_Text_16(text));
    case ColOptionFlags:
        return form(Bits_From_Text_8(text));
    default:
        return form(base::Parse_Int16(text));
    }
}

FieldCheck Check_System_Id(const QString &input)
{
    const FieldCheck bad{false, QStringLiteral("01")};
    QString t = input;
    if (t.size() >= 3)
        return bad;
    if (t.size() < 2)
        t = QStringLiteral("0") + t.left(1);
    auto upper = [](QChar c) { return (c >= QLatin1Char('a') && c <= QLatin1Char('f')) ? c.toUpper() : c; };
    if (t.size() >= 1)
        t[0] = upper(t[0]);
    if (t.size() >= 2)
        t[1] = upper(t[1]);
    if (t.size() < 2)
        return bad;
    auto digit = [](QChar c) {
        if (c >= QLatin1Char('0') && c <= QLatin1Char('9'))
            return c.unicode() - '0';
        if (c >= QLatin1Char('A') && c <= QLatin1Char('F'))
            return c.unicode() - 'A' + 10;
        return 0; // no hex digit: adds nothing
    };
    const int value = 16 * digit(t[0]) + digit(t[1]);
    if (value > 254 || value < 1)
        return bad;
    return {true, t};
}

namespace {
FieldCheck checkRange(const QString &text, int lo, int hi, const QString &fallback)
{
    const auto v = base::Parse_Int16(text);
    if (!v || *v < lo || *v > hi)
        return {false, fallback};
    return {true, text};
}
} // namespace

FieldCheck Check_User_Id(const QString &text)
{
    return checkRange(text, 0, 99, QStringLiteral("1"));
}

FieldCheck Check_Signal_Timeout(const QString &text)
{
    return checkRange(text, 0, 60, QStringLiteral("0"));
}

QString Normalise_User_Name(const QString &text)
{
    return text.left(UserNameLength).leftJustified(UserNameLength, QLatin1Char(' '));
}

} // namespace halvo::passes
