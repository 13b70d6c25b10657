#pragma once
// Test helpers: wire bytes written out as numbers, and a file's whole content.

#include <QByteArray>
#include <QFile>

#include <initializer_list>

namespace halvo::test {

inline QByteArray bytes(std::initializer_list<int> values)
{
    QByteArray b;
    for (int v : values)
        b.append(static_cast<char>(v));
    return b;
}

// A file's whole content, or nothing when it cannot be read.
inline QByteArray readFile(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

} // namespace halvo::test
