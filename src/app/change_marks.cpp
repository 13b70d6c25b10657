#include "change_marks.h"

#include <QPalette>
#include <QVariant>
#include <QWidget>

namespace halvo::app::marks {

namespace {
const char *const MarkedProperty = "halvoChanged";
const char *const DescriptionProperty = "halvoDescription";

QString heard(const QString &meaning, const QString &unitValue)
{
    const QString changed = QStringLiteral("changed, unit has ") + unitValue;
    return meaning.isEmpty() ? changed : meaning + QStringLiteral(", ") + changed;
}
} // namespace

QColor tint(const QPalette &p)
{
    const QColor base = p.color(QPalette::Base), high = p.color(QPalette::Highlight);
    auto mix = [](int a, int b) { return (2 * a + b) / 3; };
    return QColor(mix(base.red(), high.red()), mix(base.green(), high.green()),
                  mix(base.blue(), high.blue()));
}

bool isMarked(const QWidget *control)
{
    return control->property(MarkedProperty).toBool();
}

void mark(QWidget *control, const std::optional<QString> &unitValue)
{
    const bool was = isMarked(control), now = unitValue.has_value();
    if (!was && !now)
        return;
    if (!was)
        control->setProperty(DescriptionProperty, control->accessibleDescription());
    const QString meaning = control->property(DescriptionProperty).toString();
    control->setAccessibleDescription(now ? heard(meaning, *unitValue) : meaning);
    control->setProperty(MarkedProperty, now);
    if (was == now)
        return;
    if (now) {
        QFont bold = control->font();
        bold.setBold(true);
        control->setFont(bold);
        QPalette p = control->palette();
        const QColor t = tint(p);
        for (auto role : {QPalette::Base, QPalette::Window, QPalette::Button})
            p.setColor(role, t);
        control->setPalette(p);
    } else {
        control->setFont(QFont());
        control->setPalette(QPalette());
    }
    control->setAutoFillBackground(now);
}

} // namespace halvo::app::marks
