#include "help_menu.h"

#include "operator_dialogs.h"
#include "port/doctor.h"
#include "port/port_catalogue.h"
#include "port/serial_ports.h"
#include "session/off_thread.h"
#include "session/support_file.h"
#include "session/unit_session.h"
#include "ui_helpers.h"

#include <QAction>
#include <QDate>
#include <QDir>
#include <QMenu>

namespace halvo::app {

HelpMenu::HelpMenu(QMenu *menu, port::PortCatalogue &ports, OperatorDialogs &dialogs,
                   session::UnitSession &session, const config::Configuration &config)
    : QObject(menu), m_ports(ports), m_dialogs(dialogs), m_session(session), m_config(config)
{
    auto *check = ui::named(menu->addAction(QStringLiteral("Check This Computer...")),
                            QStringLiteral("Menu_Check_Computer"));
    auto *support = ui::named(menu->addAction(QStringLiteral("Save Support File...")),
                              QStringLiteral("Menu_Save_Support_File"));
    connect(support, &QAction::triggered, this, &HelpMenu::Menu_Save_Support_File_Click);
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

QString HelpMenu::openHere() const
{
    return m_session.isOpen() ? m_session.path() : QString();
}

void HelpMenu::Menu_Check_Computer_Click()
{
    m_ports.refresh();
    // It reads every process's open files: away from the window's thread.
    session::Off_Thread(
        this,
        [ports = m_ports.entries(), here = openHere()] { return port::Check_This_Computer(ports, here); },
        [this](const port::ComputerCheck &check) {
            m_dialogs.report(QStringLiteral("Check This Computer"), check.lines.join(QLatin1Char('\n')));
        });
}

void HelpMenu::Menu_Save_Support_File_Click()
{
    const std::optional<bool> include = m_dialogs.supportFileChoice();
    if (!include)
        return;
    const QString file =
        m_dialogs.saveFileName({QStringLiteral("txt"), documentsFolder(), QStringLiteral("Txt Files (*.txt)"),
                                QStringLiteral("halvo-support-%1.txt")
                                    .arg(QDate::currentDate().toString(QStringLiteral("yyyy-MM-dd")))});
    if (file.isEmpty())
        return;
    m_ports.refresh();
    struct Found
    {
        QStringList ports, doctor;
    };
    session::Off_Thread(
        this,
        [ports = m_ports.entries(), here = openHere()] {
            return Found{port::Port_Detail_Lines(ports), port::Check_This_Computer(ports, here).lines};
        },
        [this, file, include = *include](const Found &found) {
            const session::SupportFacts facts{QStringLiteral("halvo-config"),
                                              QStringLiteral(HALVO_VERSION),
                                              found.ports,
                                              found.doctor,
                                              &m_config,
                                              include};
            QString why;
            if (session::Save_Support_File(file, m_session, facts, &why))
                m_dialogs.message(QStringLiteral("Support file saved: ") + QDir::toNativeSeparators(file));
            else
                m_dialogs.message(QStringLiteral("The support file could not be saved: ") + why);
        });
}

void HelpMenu::Menu_Help_About_Click()
{
    m_dialogs.report(QStringLiteral("About"), aboutText());
}

} // namespace halvo::app
