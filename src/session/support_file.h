#pragma once

#include <QString>
#include <QStringList>

namespace halvo::config {
class Configuration;
}

namespace halvo::session {

class UnitSession;

// What a support file holds besides the session's own state: gathered by the front end
// (the ports and the computer check read the system, away from the window's thread).
struct SupportFacts
{
    QString program;    // "halvo-config", "halvo-cli"
    QString version;    // "1.4.0"
    QStringList ports;  // the ports listed, with what the system says of each
    QStringList doctor; // the computer check's lines
    const config::Configuration *configuration = nullptr; // what the window holds
    bool includeConfiguration = false;
};

// Of the support file's text, the messages shown to the operator it lists (the last).
inline constexpr int SupportMessages = 50;

// One plain text file for a problem in the field: the tool and its build, the system
// and Qt, the ports, the computer check, the connection, the last messages shown to
// the operator, the configuration when asked for, and the log of this run. Pass user
// names and location names are staff names: unless the configuration is included,
// each one known (in the window or as the unit sent it) is left out wherever it
// appears, the log included.
QString Support_File_Text(const UnitSession &session, const SupportFacts &facts);
// The text written whole; false, and why, when it could not be.
bool Save_Support_File(const QString &path, const UnitSession &session, const SupportFacts &facts,
                       QString *why = nullptr);
// Each of names (two characters or more) replaced by "[name left out]" where it stands
// as a word of its own in text.
QString Leave_Out_Names(QString text, QStringList names);

} // namespace halvo::session
