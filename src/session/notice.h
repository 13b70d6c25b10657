#pragma once

#include <QMetaType>

namespace halvo::session {

// What the operator is to be told; the front end words it.
enum class Notice {
    CommError,       // a send failed, a reply could not be placed, the link broke
    TerminatorError, // a reply frame did not end LF, CR and was dropped
};

enum class OpenResult {
    Opened,
    InUse,        // another program holds the device (why names it where the system tells)
    NoPermission, // the device is there, but the user may not open it (why says what to do)
    Failed,       // no such device, or the settings were refused
};

} // namespace halvo::session

Q_DECLARE_METATYPE(halvo::session::Notice)
