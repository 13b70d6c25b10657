#pragma once

#include <QLoggingCategory>

// halvo.cli: each command and how it ended; silent unless QT_LOGGING_RULES turns it on ("halvo.*.info=true").
Q_DECLARE_LOGGING_CATEGORY(lcCli)
