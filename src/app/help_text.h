#pragma once

#include <QString>

namespace halvo::app {

// The four tabs of the window, in their order.
enum class Tab { Passes = 0, Settings = 1, Locations = 2, EventLog = 3 };

// The instructions the window shows above the tabs: the general ones until the
// first tab is chosen, then the visible tab's. Each line ends CR LF.
QString Startup_Help();
QString Tab_Help(Tab tab);

} // namespace halvo::app
