#pragma once
// Helpers the tab files of the main window share while building their widgets.

#include <QString>
#include <QWidget>

#include <type_traits>

namespace halvo::app::ui {

// Positions and sizes are designed in twips; 15 twips make a pixel.
constexpr int px(int twips)
{
    return twips / 15;
}

// Gives a control the name tests find it by. A screen reader hears its own text
// (captions, buttons, boxes); a field without text of its own is given what it
// holds as its accessible name.
template <class W> W *named(W *w, const QString &name, const QString &accessible = {})
{
    w->setObjectName(name);
    if constexpr (std::is_base_of_v<QWidget, W>) {
        if (!accessible.isEmpty())
            w->setAccessibleName(accessible);
    }
    return w;
}

// A caption that shows data is heard as the value it shows, then its meaning.
template <class W> W *describes(W *w, const QString &meaning)
{
    w->setAccessibleDescription(meaning);
    return w;
}

// Control arrays are named like the wire indexes them: "Text_Location_Name(7)".
inline QString indexed(const char *name, int i)
{
    return QStringLiteral("%1(%2)").arg(QLatin1String(name)).arg(i);
}

} // namespace halvo::app::ui
