#pragma once
// Helpers the window's frame and tabs share while building their widgets.

#include <QFocusEvent>
#include <QObject>
#include <QString>
#include <QTimer>
#include <QWidget>

#include <functional>
#include <type_traits>
#include <unordered_map>
#include <utility>

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

// Runs a field's check when the operator moves the focus out of it. Leaving the
// window (another application, a menu) is not leaving the field.
class FocusChecks : public QObject
{
public:
    using QObject::QObject;
    void add(QWidget *field, std::function<void()> check)
    {
        m_checks[field] = std::move(check);
        field->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::FocusOut) {
            const auto reason = static_cast<QFocusEvent *>(event)->reason();
            const auto check = m_checks.find(watched);
            if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason &&
                check != m_checks.end())
                check->second();
        }
        return QObject::eventFilter(watched, event);
    }

private:
    std::unordered_map<const QObject *, std::function<void()>> m_checks;
};

// Runs an action at once when asked, then at most once every interval however often it
// is asked meanwhile (a label that follows a download: drawing it once a line would
// have the window laid out again at the rate lines come).
class Throttle : public QObject
{
public:
    Throttle(int ms, std::function<void()> action, QObject *parent)
        : QObject(parent), m_action(std::move(action))
    {
        m_timer.setSingleShot(true);
        m_timer.setInterval(ms);
        connect(&m_timer, &QTimer::timeout, this, [this] {
            if (std::exchange(m_asked, false))
                run();
        });
    }
    void request()
    {
        if (m_timer.isActive())
            m_asked = true;
        else
            run();
    }

private:
    void run()
    {
        m_action();
        m_timer.start();
    }

    std::function<void()> m_action;
    QTimer m_timer;
    bool m_asked = false;
};

} // namespace halvo::app::ui
