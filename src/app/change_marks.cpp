#include "change_marks.h"

#include <QPalette>
#include <QTreeWidgetItem>
#include <QVariant>
#include <QWidget>

namespace halvo::app::marks {

namespace {
const char *const MarkedProperty = "halvoChanged";
const char *const DescriptionProperty = "halvoDescription";

// A third of the way from the background to the highlight: a light tint behind dark
// text, a dark one behind light text.
QColor tint(const QPalette &p)
{
    const QColor base = p.color(QPalette::Base), high = p.color(QPalette::Highlight);
    auto mix = [](int a, int b) { return (2 * a + b) / 3; };
    return QColor(mix(base.red(), high.red()), mix(base.green(), high.green()),
                  mix(base.blue(), high.blue()));
}

QString heard(const QString &meaning, const QString &unitValue)
{
    const QString changed = QStringLiteral("changed, unit has ") + unitValue;
    return meaning.isEmpty() ? changed : meaning + QStringLiteral(", ") + changed;
}
} // namespace

bool Is_Marked(const QWidget *control)
{
    return control->property(MarkedProperty).toBool();
}

void Mark(QWidget *control, const std::optional<QString> &unitValue)
{
    const bool was = Is_Marked(control), now = unitValue.has_value();
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

void Mark(QTreeWidgetItem *item, int column, const std::optional<QString> &unitValue, const QPalette &palette)
{
    if (!unitValue) {
        if (item->data(column, Qt::BackgroundRole).isValid()) {
            item->setData(column, Qt::FontRole, QVariant());
            item->setData(column, Qt::BackgroundRole, QVariant());
            item->setData(column, Qt::AccessibleDescriptionRole, QVariant());
        }
        return;
    }
    QFont bold;
    bold.setBold(true);
    item->setFont(column, bold);
    item->setBackground(column, tint(palette));
    item->setData(column, Qt::AccessibleDescriptionRole, heard(QString(), *unitValue));
}

} // namespace halvo::app::marks
