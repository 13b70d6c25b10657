#pragma once
// Test helper: what plain git prints, as a department's server or a technician reads
// the records.

#include <QString>

#include <cstdio>

namespace halvo::test {

// The output of git args run in folder, standard error with it, trimmed.
inline QString plainGit(const QString &folder, const QString &args)
{
    const QByteArray command = QStringLiteral("git -C '%1' %2 2>&1").arg(folder, args).toUtf8();
    QByteArray out;
    if (FILE *p = popen(command.constData(), "r")) {
        char buffer[4096];
        while (const size_t n = fread(buffer, 1, sizeof buffer, p))
            out.append(buffer, static_cast<qsizetype>(n));
        pclose(p);
    }
    return QString::fromUtf8(out).trimmed();
}

} // namespace halvo::test
