#pragma once

#include <QWidget>

class QLineEdit;

namespace halvo::session {
class UnitSession;
}

namespace halvo::app {

// "DISCONNECTED" (white on dark red) and "   CONNECTED" (white on dark green), one
// above the other; exactly one is shown, as the link watchdog says.
class LinkIndicators : public QWidget
{
    Q_OBJECT
public:
    explicit LinkIndicators(session::UnitSession &session, QWidget *parent = nullptr);
    void showConnected(bool connected);

private:
    QLineEdit *disconnectedIndicator = nullptr;
    QLineEdit *connectedIndicator = nullptr;
};

} // namespace halvo::app
