#include "field_text.h"

#include <cmath>

namespace halvo::link {

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

} // namespace halvo::link
