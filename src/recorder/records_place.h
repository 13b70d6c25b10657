#pragma once

#include "records/repository.h"

#include <QString>

namespace halvo::recorder {

// Where this PC keeps its records, and who records on it. Kept in the tool's settings,
// shared by the window and halvo-cli.

// "Halvo Records" in the user's documents folder.
QString Default_Records_Folder();
// The folder the operator chose (the default until then), and whether recording is on.
QString Kept_Records_Folder();
bool Records_Kept();
void Keep_Records_Folder(const QString &folder);
void Keep_Records(bool on);
// What halvo-cli records into: --no-records, --records DIR, HALVO_RECORDS, then what
// the window keeps. Empty when nothing is to be recorded.
QString Records_Folder_For(const QString &given, bool off);

// The operator's name as this PC keeps it; empty until one was given.
QString Kept_Operator_Name();
void Keep_Operator_Name(const QString &name);
// The login's full name as the system has it, else the login's name.
QString Login_Full_Name();
// --operator NAME, HALVO_OPERATOR, the name kept for this PC, the login's full name.
QString Operator_Name_For(const QString &given);
// The author of this PC's versions: a name, with the PC's host name.
records::Author Author_Named(const QString &name);

} // namespace halvo::recorder
