#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

namespace halvo::report {

// Comma-separated values as RFC 4180 has them and spreadsheet programs write them:
// fields quoted (every one, when written), quotes doubled, lines ended CR LF. Written UTF-8 behind a
// byte-order mark, so that a spreadsheet program opens it as text in that encoding.
QByteArray Csv_Text(const QList<QStringList> &rows);
// The rows of a file: the byte-order mark and the line ends (CR LF or LF) of any
// writer are taken; a last empty line is no row. Nothing, and why, when a quoted
// field never ends or the text is not UTF-8.
std::optional<QList<QStringList>> Parse_Csv(const QByteArray &bytes, QString *why = nullptr);

} // namespace halvo::report
