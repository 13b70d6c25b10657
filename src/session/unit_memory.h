#pragma once

#include <QString>

namespace halvo::session {

class UnitSession;

// What the tool keeps between runs for each unit, known by its banner and by its
// adapter's serial number (its port where the system gives none): two units of one
// model are two units. Its event archive, and whether and how often new events are
// collected into it.
class UnitMemory
{
public:
    explicit UnitMemory(const UnitSession &session);

    // Which unit this is, as the memory knows it.
    QString unit() const { return m_unit; }

    // The archive chosen for the unit, whether its file has been made yet or not: a
    // new archive stays chosen until its first download makes the file.
    QString archive() const;
    // The archive's file was made once and is gone now: it is to be chosen again,
    // never made anew without a word.
    bool archiveGone() const;
    // The archive to read new events into: empty when none is chosen or it is gone.
    QString usableArchive() const { return archiveGone() ? QString() : archive(); }
    void setArchive(const QString &path);
    // A download into path has ended; once its file is there, it counts as made.
    void noteDownloadInto(const QString &path);

    bool collects() const;
    int collectMinutes() const; // 15 until the operator chose
    void setCollection(bool on, int minutes);

private:
    QString key(const char *what) const;

    QString m_unit;
};

} // namespace halvo::session
