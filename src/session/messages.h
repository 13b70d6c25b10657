#pragma once

#include <QString>

namespace halvo::session {

// What the operator is told, worded exactly as the unit's own tools have always
// worded it; the window and the command line use the same texts.
namespace Msg {
inline const QString CommError = QStringLiteral("Communications Error Please correct and retry");
inline const QString OpenPortQuestion =
    QStringLiteral("No Com Port is open do you want to open selected port and continue?  ");
inline const QString TerminatorError =
    QStringLiteral("Data Checksum error table did not load correctly please load again?  ");
inline const QString Scanning = QStringLiteral("Scanning for Halvo units this can take upto 1 minute.  ");
inline const QString InvalidValue =
    QStringLiteral("The value you entered is invalid parameter as been set to default value  ");
inline const QString SaveFileError = QStringLiteral(
    "Saving File to archive has Encountered an error verify file path exists and drive operational");
inline const QString LoadFileError = QStringLiteral(
    "Load File Encountered an error verify file is a Brelt Recorder Data file and drive operational");
inline const QString ChooseDataFile =
    QStringLiteral("Please select were you would like your archived data stored, Note: you must have "
                   "permission to write to this location");
inline const QString ChooseEventLogFile =
    QStringLiteral("Please select were you would like your Event Log Data stored, Note: you must have "
                   "permission to write to this location");
} // namespace Msg

} // namespace halvo::session
