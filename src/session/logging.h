#pragma once

#include <QLoggingCategory>

// halvo.session: connects, link loss, stores, scans, event downloads and refusals;
// silent unless QT_LOGGING_RULES turns it on ("halvo.*.info=true").
Q_DECLARE_LOGGING_CATEGORY(lcSession)
