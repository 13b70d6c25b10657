#include "field_text.h"

#include <cmath>

namespace halvo::base {

quint8 Sum_Of_Bytes(const QByteArray &bytes)
{
    unsigned sum = 0;
    for (char c : bytes)
        sum += static_cast<unsigned char>(c);
    return static_cast<quint8>(sum & 0xFFu);
}

namespace {
bool inInt16(double v)
{
    return v >= -32768.0 && v <= 32767.0;
}
} // namespace

std::optional<int> Parse_Int16(const QString &text)
{
    bool ok = false;
    const int v = text.trimmed().toInt(&ok, 10);
    if (!ok || !inInt16(v))
        return std::nullopt;
    return v;
}

std::optional<int> Round_Int16(const QString &text)
{
    if (auto whole = Parse_Int16(text))
        return whole;
    bool ok = false;
    const double v = text.trimmed().toDouble(&ok);
    if (!ok || !std::isfinite(v))
        return std::nullopt;
    const double r = std::nearbyint(v); // the default rounding mode: halves to even
    if (!inInt16(r))
        return std::nullopt;
    return static_cast<int>(r);
}

std::optional<QByteArray> To_Single_Byte(const QString &text)
{
    QByteArray out;
    out.reserve(text.size());
    for (QChar c : text) {
        if (c.unicode() > 0xFF)
            return std::nullopt;
        out.append(static_cast<char>(c.unicode()));
    }
    return out;
}

QByteArray Byte_To_Hex(int value)
{
    const char *digits = "0123456789ABCDEF";
    return QByteArray(1, digits[(value / 16) & 15]) + digits[value % 16 & 15];
}

int Hex_To_Byte(const QByteArray &text)
{
    auto digit = [&](int i) {
        const int c = i < text.size() ? static_cast<unsigned char>(text.at(i)) : 0;
        return c <= 57 ? c - 48 : c - 55;
    };
    return digit(0) * 16 + digit(1);
}

} // namespace halvo::base
