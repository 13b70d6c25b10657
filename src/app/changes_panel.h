#pragma once

#include "tab_page.h"

#include <QWidget>

class QLabel;

namespace halvo::config {
class Configuration;
}
namespace halvo::session {
class ChangesNotStored;
class UnitSession;
} // namespace halvo::session

namespace halvo::app {

class OperatorDialogs;

// Beside STORE: "Review Changes" (Ctrl+D) and the line that counts what the window
// holds and the unit does not. The review lists each item that differs, field by
// field; "Store Selected" sends only the ticked items and reads their parts back.
class ChangesPanel : public QWidget
{
    Q_OBJECT
public:
    explicit ChangesPanel(const TabContext &context, QWidget *parent = nullptr);

    // The line under it that says what the records made of the last read or store.
    QLabel *recordLine() const { return m_recordLine; }

public slots:
    void CommandReviewChanges_Click();

private:
    config::Configuration &m_config;
    session::UnitSession &m_session;
    const session::ChangesNotStored &m_changes;
    OperatorDialogs &m_dialogs;
    std::function<bool()> m_portReady;
    QLabel *changesLine = nullptr;
    QLabel *m_recordLine = nullptr;
};

} // namespace halvo::app
