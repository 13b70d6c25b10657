#pragma once

#include <QLoggingCategory>

// halvo.app: what the operator started: connects, scans, reads, stores, files; silent unless QT_LOGGING_RULES
// turns it on ("halvo.*.info=true").
Q_DECLARE_LOGGING_CATEGORY(lcApp)
