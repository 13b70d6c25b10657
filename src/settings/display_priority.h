#pragma once

#include <QString>

#include <array>
#include <optional>

namespace halvo::settings {

// The unit ranks six classes of pass state for its display. Class q (1..6) owns one
// config parameter; the six bytes carry the order.
inline constexpr int PriorityPositions = 6;
inline constexpr std::array<int, 7> Priority_Class_Param = {0, 16, 22, 21, 17, 18, 19};
// Class names, entries 1..6; 0 and 7 are the empty text.
QString Priority_Class_Name(int q);
// What the six position captions read before the first refresh.
QString Initial_Priority_Caption(int p);

} // namespace halvo::settings
