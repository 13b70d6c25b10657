#pragma once
// Marks on the controls whose value differs from what the unit holds.

#include <QString>

#include <optional>

class QPalette;
class QTreeWidgetItem;
class QWidget;

namespace halvo::app::marks {

// A control whose value differs from the unit's (unitValue given) is drawn bold on a
// tint of the palette's highlight, legible on light and dark palettes alike, and a
// screen reader hears "changed, unit has <value>" after what the control means. With
// no unit value the mark goes and the control is as it was.
void Mark(QWidget *control, const std::optional<QString> &unitValue);
void Mark(QTreeWidgetItem *item, int column, const std::optional<QString> &unitValue,
          const QPalette &palette);
bool Is_Marked(const QWidget *control);

} // namespace halvo::app::marks
