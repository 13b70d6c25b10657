#pragma once

#include <QLoggingCategory>

// halvo.port: ports opened and refused, links lost, the port list read again; silent unless QT_LOGGING_RULES
// turns it on ("halvo.*.info=true").
Q_DECLARE_LOGGING_CATEGORY(lcPort)
