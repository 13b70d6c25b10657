#include "help_menu.h"

#include "operator_dialogs.h"
#include "port/serial_ports.h"
#include "port/doctor.h"
#include "port/port_catalogue.h"
#include "session/off_thread.h"
#include "ui_helpers.h"

#include <QAction>
#include <QMenu>

namespace halvo::app {

HelpMenu::HelpMenu(QMenu *menu, port::PortCatalogue &ports, OperatorDialogs &dialogs)
    : QObject(menu), m_ports(ports), m_dialogs(dialogs)
{
    auto *check = ui::named(menu->addAction(QStringLiteral("Check This Computer...")),
                            QStringLiteral("Menu_Check_Computer"));
    auto *about = ui::named(menu->addAction(QStringLiteral("About")), QStringLiteral("Menu_Help_About"));
    connect(check, &QAction::triggered, this, &HelpMenu::Menu_Check_Computer_Click);
    connect(about, &QAction::triggered, this, &HelpMenu::Menu_Help_About_Click);
}

QString HelpMenu::aboutText()
{
    return QStringLiteral("Halvo Configuration Tool %1\n\n"
                          "Configures a Halvo base unit over its USB serial link.\n\n"
                          "Built with Qt %2, running on Qt %3.\n\n"
                          "Licence: MIT (see LICENSE). Qt is used under the GNU LGPL version 3.")
        .arg(QStringLiteral(HALVO_VERSION), QStringLiteral(QT_VERSION_STR), QString::fromLatin1(qVersion()));
}

void HelpMenu::Menu_Check_Computer_Click()
{
    m_ports.refresh();
    // It reads every process's open files: away from the window's thread.
    session::Off_Thread(
        this, [ports = m_ports.entries()] { return port::Check_This_Computer(ports); },
        [this](const port::ComputerCheck &check) {
            m_dialogs.report(QStringLiteral("Check This Computer"), check.lines.join(QLatin1Char('\n')));
        });
}

void HelpMenu::Menu_Help_About_Click()
{
    m_dialogs.report(QStringLiteral("About"), aboutText());
}

} // namespace halvo::app
