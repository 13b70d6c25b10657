#pragma once

#include <QMetaType>

namespace halvo::session {

// What the operator is to be told; the front end words it.
enum class Notice {
    CommError,       // a send failed, a reply could not be placed, the link broke
    TerminatorError, // a reply frame did not end LF, CR and was dropped
};

} // namespace halvo::session

Q_DECLARE_METATYPE(halvo::session::Notice)
