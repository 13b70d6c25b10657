#pragma once

#include "config/part.h"

#include <QString>

namespace halvo::app {

// The instructions the window shows above the tabs: the general ones until the
// first tab is chosen, then the visible tab's. Each line ends CR LF.
QString startupHelp();
QString tabHelp(config::Part part);

} // namespace halvo::app
