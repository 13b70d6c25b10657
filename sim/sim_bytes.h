#pragma once

#include <QByteArray>

namespace halvo::sim {

inline constexpr char LF = 10;
inline constexpr char CR = 13;

inline char hexDigit(int v)
{
    return "0123456789ABCDEF"[v & 15];
}

inline QByteArray padded(QByteArray bytes, int size, char fill)
{
    bytes = bytes.left(size);
    while (bytes.size() < size)
        bytes.append(fill);
    return bytes;
}

} // namespace halvo::sim
