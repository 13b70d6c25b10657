#pragma once

#include "config/differences.h"
#include "ui_helpers.h"

#include <QWidget>

#include <vector>
namespace halvo::session {
class UnitSession;
}

namespace halvo::app {

class OperatorDialogs;

// What a tab works with: the operator's data, the unit, and the operator.
struct TabContext
{
    config::Configuration &config;
    session::UnitSession &unit;
    OperatorDialogs &dialogs; // silent once the window closes
};

// One tab of the window: a view over its part of the configuration. It builds its
// controls, shows the configuration, writes every edit into it as the operator
// makes it, and runs its own handlers.
class TabPage : public QWidget
{
    Q_OBJECT
public:
    explicit TabPage(const TabContext &context, QWidget *parent = nullptr)
        : QWidget(parent), m_config(context.config), m_unit(context.unit), m_dialogs(context.dialogs)
    {
    }
    // Every field from the configuration (start-up, a loaded file).
    virtual void showConfiguration() {}
    // Marks the controls of the tab's fields that differ from what the unit holds;
    // differences holds only parts that have been read.
    virtual void showMarks(const config::Configuration &image,
                           const std::vector<config::Difference> &differences)
    {
        Q_UNUSED(image);
        Q_UNUSED(differences);
    }

signals:
    // The operator changed the configuration.
    void edited();

protected:
    config::Configuration &m_config;
    session::UnitSession &m_unit;
    OperatorDialogs &m_dialogs;
    ui::FocusChecks m_focusChecks{this};
};

} // namespace halvo::app
