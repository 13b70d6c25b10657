#pragma once

#include <QString>

namespace halvo::session {
class UnitSession;
}

namespace halvo::app {

class OperatorDialogs;

// What the window keeps between runs for each unit, known by its banner and by its
// adapter's serial number (its port where the system gives none): two units of one
// model are two units. Its event archive, and whether and how often new events are
// collected into it.
class UnitMemory
{
public:
    explicit UnitMemory(const session::UnitSession &session) : m_session(session) {}

    // The unit's archive, when one was chosen and still exists.
    QString archive() const;
    void setArchive(const QString &path);
    // The operator chooses an archive ("" when cancelled); it is only appended to, so
    // choosing one that exists is no overwrite.
    static QString chooseArchive(OperatorDialogs &dialogs);

    bool collects() const;
    int collectMinutes() const; // 15 until the operator chose
    void setCollection(bool on, int minutes);

private:
    QString key(const char *what) const;

    const session::UnitSession &m_session;
};

} // namespace halvo::app
