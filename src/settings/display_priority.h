#pragma once

#include "config_params.h"

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

// The priority list of the System Settings tab: six positions, of which 2..5 can
// change places with the Up and Down buttons.
//
// The buttons, and the captions they refresh, read a class's byte as that class's
// position. The refresh after a settings value page reads the byte of class p as the
// number of the class shown at position p. The two readings agree for orders one
// exchange away from the start-up order and differ for others; the unit's own
// display software relies on both, so both are kept.
class DisplayPriority
{
public:
    // Captions of positions 1..6 (index 0 unused); nothing means "keep the caption".
    using Captions = std::array<std::optional<QString>, PriorityPositions + 1>;

    // Start-up: every class at its own position, class q's byte q.
    void Init(ParamTexts &values);

    // Up and Down exchange the bytes of the parameters the position map names for
    // the selected position and its neighbour, and the two map entries. They return
    // the new selection (0 for none); without a movable selection nothing moves.
    int moveUp(int selected, ParamTexts &values);
    int moveDown(int selected, ParamTexts &values);

    // After Up and Down: position p gets the name of the class whose byte is p (the
    // highest class wins a tie; a position nobody claims keeps its caption).
    Captions positionRefresh(const ParamTexts &values) const;

    // After a value page: position p gets the name of class number "byte of class p"
    // (empty for 0 and 7). A byte of 8 or more stops there: ok is false and the
    // positions before it keep their new captions.
    struct ClassRefresh
    {
        Captions captions;
        bool ok = true;
    };
    ClassRefresh classRefresh(const ParamTexts &values) const;

    int positionParam(int p) const { return m_positionParam[static_cast<size_t>(p)]; }

private:
    int move(int selected, int target, ParamTexts &values);

    std::array<int, PriorityPositions + 1> m_positionParam = Priority_Class_Param;
};

} // namespace halvo::settings
