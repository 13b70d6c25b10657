#include "csv.h"

#include <QStringDecoder>

namespace halvo::report {

namespace {
const QByteArray Bom = QByteArrayLiteral("\xEF\xBB\xBF");

// Every field quoted: a name's trailing blanks and an ID's leading zero stay as they are.
QString field(const QString &text)
{
    QString q = text;
    q.replace(QLatin1Char('"'), QStringLiteral("\"\""));
    return QLatin1Char('"') + q + QLatin1Char('"');
}
} // namespace

QByteArray Csv_Text(const QList<QStringList> &rows)
{
    QString out;
    for (const QStringList &row : rows) {
        QStringList fields;
        for (const QString &f : row)
            fields << field(f);
        out += fields.join(QLatin1Char(',')) + QStringLiteral("\r\n");
    }
    return Bom + out.toUtf8();
}

std::optional<QList<QStringList>> Parse_Csv(const QByteArray &bytes, QString *why)
{
    auto refuse = [&](const QString &what) -> std::optional<QList<QStringList>> {
        if (why)
            *why = what;
        return std::nullopt;
    };
    QStringDecoder utf8(QStringDecoder::Utf8);
    const QString text = utf8.decode(bytes.startsWith(Bom) ? bytes.mid(Bom.size()) : bytes);
    if (utf8.hasError())
        return refuse(QStringLiteral("the file is not UTF-8 text"));
    QList<QStringList> rows;
    QStringList row;
    QString current;
    bool quoted = false, wasQuoted = false;
    int line = 1;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (quoted) {
            if (c == QLatin1Char('"') && i + 1 < text.size() && text.at(i + 1) == QLatin1Char('"')) {
                current += c;
                ++i;
            } else if (c == QLatin1Char('"')) {
                quoted = false;
            } else {
                line += c == QLatin1Char('\n');
                current += c;
            }
            continue;
        }
        if (c == QLatin1Char('"') && current.isEmpty() && !wasQuoted) {
            quoted = wasQuoted = true;
        } else if (c == QLatin1Char(',')) {
            row << current;
            current.clear();
            wasQuoted = false;
        } else if (c == QLatin1Char('\r') || c == QLatin1Char('\n')) {
            if (c == QLatin1Char('\r') && i + 1 < text.size() && text.at(i + 1) == QLatin1Char('\n'))
                ++i;
            row << current;
            rows << row;
            row.clear();
            current.clear();
            wasQuoted = false;
            ++line;
        } else {
            current += c;
        }
    }
    if (quoted)
        return refuse(QStringLiteral("a quoted field that begins on line %1 never ends").arg(line));
    if (!current.isEmpty() || !row.isEmpty() || wasQuoted) {
        row << current;
        rows << row;
    }
    return rows;
}

} // namespace halvo::report
