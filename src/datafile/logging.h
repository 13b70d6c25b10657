#pragma once

#include <QLoggingCategory>

// halvo.datafile: data files saved, loaded and refused; silent unless QT_LOGGING_RULES turns it on
// ("halvo.*.info=true").
Q_DECLARE_LOGGING_CATEGORY(lcDatafile)
