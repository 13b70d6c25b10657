#pragma once

#include <QLoggingCategory>

// halvo.link: frames refused and reply frames dropped; silent unless QT_LOGGING_RULES turns it on
// ("halvo.*.info=true").
Q_DECLARE_LOGGING_CATEGORY(lcLink)
