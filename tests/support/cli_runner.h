#pragma once
// Test helper: runs halvo-cli as a script would, while the test's own event loop
// keeps running (a simulated unit of the test's answers from there), and keeps its
// exit status and what it printed.

#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>
#include <QTest>

namespace halvo::test {

struct Run
{
    int status = -1;
    QString out, err;
};

class CliTest : public QObject
{
    Q_OBJECT
protected:
    QTemporaryDir dir;

    // The records a run keeps, in the test's own folder unless a case says otherwise.
    QProcessEnvironment environment = [this] {
        QProcessEnvironment e = QProcessEnvironment::systemEnvironment();
        e.insert(QStringLiteral("HALVO_RECORDS"), dir.filePath(QStringLiteral("records")));
        e.remove(QStringLiteral("HALVO_OPERATOR"));
        e.insert(QStringLiteral("XDG_DATA_HOME"), dir.filePath(QStringLiteral("data"))); // versions waiting
        return e;
    }();

    Run cli(const QStringList &args)
    {
        QProcess p;
        p.setProcessEnvironment(environment);
        p.start(QStringLiteral(HALVO_CLI_EXE), args);
        if (!QTest::qWaitFor([&] { return p.state() == QProcess::NotRunning; }, 60000)) {
            p.kill();
            p.waitForFinished();
            return {};
        }
        return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1,
                QString::fromLocal8Bit(p.readAllStandardOutput()),
                QString::fromLocal8Bit(p.readAllStandardError())};
    }
    void write(const QString &path, const QByteArray &bytes)
    {
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size());
    }
};

} // namespace halvo::test
