#pragma once

#include "config/part.h"
#include "ui_helpers.h"

#include <QWidget>

#include <functional>

namespace halvo::config {
class Configuration;
}
namespace halvo::session {
class ChangesNotStored;
class UnitSession;
} // namespace halvo::session

namespace halvo::app {

class OperatorDialogs;

// What a tab works with: the operator's data, the unit, what differs between them,
// and the operator. A tab can be built over these alone, without the window.
struct TabContext
{
    config::Configuration &config;
    session::UnitSession &unit;
    const session::ChangesNotStored &changes;
    OperatorDialogs &dialogs; // silent once the window closes
    // Every sender runs it first: while the port is closed the operator is asked
    // whether to open the selected port (the window's Ensure_Port_Open); true when
    // it is open.
    std::function<bool()> portReady;
};

// One tab of the window: a view over its part of the configuration. It builds its
// controls, follows the configuration as it changes (replies, files, its own
// edits), marks what differs from the unit, writes every edit into the
// configuration as the operator makes it, and runs its own handlers.
class TabPage : public QWidget
{
    Q_OBJECT
public:
    TabPage(config::Part part, const TabContext &context, QWidget *parent = nullptr)
        : QWidget(parent), m_config(context.config), m_unit(context.unit), m_changes(context.changes),
          m_dialogs(context.dialogs), m_portReady(context.portReady), m_part(part)
    {
    }
    config::Part part() const { return m_part; }

protected:
    config::Configuration &m_config;
    session::UnitSession &m_unit;
    const session::ChangesNotStored &m_changes;
    OperatorDialogs &m_dialogs;
    std::function<bool()> m_portReady;
    ui::FocusChecks m_focusChecks{this};

private:
    config::Part m_part;
};

} // namespace halvo::app
