#pragma once
// Marks on the controls whose value differs from what the unit holds.

#include <QString>

#include <optional>

class QColor;
class QPalette;
class QWidget;

namespace halvo::app::marks {

// A control whose value differs from the unit's (unitValue given) is drawn bold on a
// tint of the palette's highlight, legible on light and dark palettes alike, and a
// screen reader hears "changed, unit has <value>" after what the control means. With
// no unit value the mark goes and the control is as it was.
void mark(QWidget *control, const std::optional<QString> &unitValue);
bool isMarked(const QWidget *control);
// The tint behind a changed value: a third of the way from the background to the
// highlight, a light tint behind dark text, a dark one behind light text.
QColor tint(const QPalette &palette);

} // namespace halvo::app::marks
