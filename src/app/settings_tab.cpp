#include "settings_tab.h"

#include "change_marks.h"
#include "config/configuration.h"
#include "operator_dialogs.h"
#include "session/changes_not_stored.h"
#include "session/messages.h"
#include "session/unit_session.h"

#include <QCheckBox>
#include <QDateTime>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace halvo::app {

using config::Limit;
using ui::describes;
using ui::indexed;
using ui::named;

SettingsTab::SettingsTab(const TabContext &context, QWidget *parent)
    : TabPage(config::Part::Settings, context, parent)
{
    for (int i = 0; i < Params; ++i) {
        if (!settings::Is_Switch(i))
            continue;
        auto *box = named(new QCheckBox(settings::Param_Description(i)), indexed("CheckConfigParameters", i));
        switchBoxes[static_cast<size_t>(i)] = box;
        connect(box, &QCheckBox::clicked, this, [this, i] { CheckConfigParameters_Click(i); });
    }
    auto *h = new QHBoxLayout(this);
    h->addWidget(buildSystemSettings());
    h->addWidget(buildPriorityList());
    h->addWidget(buildLogger());

    // Tab follows the groups as they read: values, switches, the priority list, the
    // logger's boxes, the clock.
    QList<QWidget *> order;
    for (int i : settings::SystemValueParams)
        order << valueFields[static_cast<size_t>(i)];
    for (int i : settings::SystemSwitchParams)
        order << switchBoxes[static_cast<size_t>(i)];
    for (int p = 2; p < settings::PriorityPositions; ++p)
        order << priorityButtons[static_cast<size_t>(p)];
    order << upButton << downButton << switchBoxes[settings::HideUnsetPassParam];
    for (int i : settings::LoggerSwitchParams)
        order << switchBoxes[static_cast<size_t>(i)];
    order << clockButton;
    for (qsizetype k = 1; k < order.size(); ++k)
        setTabOrder(order.at(k - 1), order.at(k));
    showConfiguration();
    // A parameter typed or ticked redraws its own controls; a page or the priority
    // list redraws the tab.
    connect(m_config.notifier(), &config::ConfigurationNotifier::changed, this, [this](config::Change c) {
        if (c.part != config::Part::Settings)
            return;
        if (c.whole())
            showConfiguration();
        else
            showParam(c.index);
    });
    connect(&m_changes, &session::ChangesNotStored::changed, this, &SettingsTab::showMarks);
}

// "System Settings": value fields with their limits, then the switches 3 and 9.
QWidget *SettingsTab::buildSystemSettings()
{
    auto *sys =
        named(new QGroupBox(QStringLiteral("System Settings")), QStringLiteral("FrameSystemSettings"));
    auto *g = new QGridLayout(sys);
    const QStringList heads = {QStringLiteral("Configuration Parameter"), QStringLiteral("Value"),
                               QStringLiteral("Max Value"), QStringLiteral("Min Value"),
                               QStringLiteral("Default Value")};
    for (int c = 0; c < heads.size(); ++c)
        g->addWidget(new QLabel(heads.at(c)), 0, c);
    int r = 1;
    for (int i : settings::SystemValueParams) {
        const auto s = static_cast<size_t>(i);
        const QString desc = settings::Param_Description(i);
        auto *field = named(new QLineEdit, indexed("Text_Config_Parameters", i), desc);
        field->setMaximumWidth(60);
        auto *description = named(new QLabel(desc), indexed("Label_Config_Parameters_Description", i));
        description->setBuddy(field);
        auto limit = [&](const char *name, const QString &meaning) {
            return describes(named(new QLabel, indexed(name, i)), desc + meaning);
        };
        valueFields[s] = field;
        maxCaptions[s] = limit("Label_Config_Parameters_Max", QStringLiteral(" maximum"));
        minCaptions[s] = limit("Label_Config_Parameters_Min", QStringLiteral(" minimum"));
        defaultCaptions[s] = limit("Label_Config_Parameters_Default", QStringLiteral(" default"));
        int c = 0;
        for (QWidget *w : {static_cast<QWidget *>(description), static_cast<QWidget *>(field),
                           static_cast<QWidget *>(maxCaptions[s]), static_cast<QWidget *>(minCaptions[s]),
                           static_cast<QWidget *>(defaultCaptions[s])})
            g->addWidget(w, r, c++);
        ++r;
        connect(field, &QLineEdit::textChanged, this, [this, i](const QString &text) {
            if (!m_showing)
                m_config.typeParam(i, text);
        });
        m_focusChecks.add(field, [this, i] { Text_Config_Parameters_LostFocus(i); });
    }
    for (int i : settings::SystemSwitchParams)
        g->addWidget(switchBoxes[static_cast<size_t>(i)], r++, 0, 1, 2);
    g->setRowStretch(r, 1);
    return sys;
}

// "Pass Display Priority ": six positions; 1 and 6 cannot move.
QWidget *SettingsTab::buildPriorityList()
{
    auto *prio = named(new QGroupBox(QStringLiteral("Pass Display Priority ")),
                       QStringLiteral("FramePassDisplayPriority"));
    auto *g = new QGridLayout(prio);
    for (int p = 1; p <= settings::PriorityPositions; ++p) {
        const auto s = static_cast<size_t>(p);
        priorityButtons[s] = named(new QRadioButton, indexed("OptionPassDisplayPriority", p),
                                   QStringLiteral("Select priority position %1").arg(p));
        priorityCaptions[s] = describes(named(new QLabel, indexed("LabelPassDisplayPriority", p)),
                                        QStringLiteral("Priority position %1").arg(p));
        g->addWidget(new QLabel(QString::number(p)), p - 1, 0);
        g->addWidget(priorityButtons[s], p - 1, 1);
        g->addWidget(priorityCaptions[s], p - 1, 2);
        priorityButtons[s]->setVisible(p != 1 && p != settings::PriorityPositions);
    }
    upButton = named(new QPushButton(QStringLiteral("Up")), QStringLiteral("CommandDisplayPriorityUp"));
    downButton = named(new QPushButton(QStringLiteral("Down")), QStringLiteral("CommandDisplayPriorityDown"));
    g->addWidget(upButton, 6, 1, 1, 2);
    g->addWidget(downButton, 7, 1, 1, 2);
    g->addWidget(switchBoxes[settings::HideUnsetPassParam], 8, 0, 1, 3);
    g->setRowStretch(9, 1);
    connect(upButton, &QPushButton::clicked, this, &SettingsTab::CommandDisplayPriorityUp_Click);
    connect(downButton, &QPushButton::clicked, this, &SettingsTab::CommandDisplayPriorityDown_Click);
    return prio;
}

// "Data Logger Setup " and the clock button, one above the other.
QWidget *SettingsTab::buildLogger()
{
    auto *column = new QWidget;
    auto *right = new QVBoxLayout(column);
    auto *logger =
        named(new QGroupBox(QStringLiteral("Data Logger Setup ")), QStringLiteral("FrameDataLoggerSetup"));
    auto *lg = new QVBoxLayout(logger);
    auto *explain = new QLabel(QStringLiteral("Select what data to log in event logger.  Attached device are "
                                              "those configured in Pass Configuration"));
    explain->setWordWrap(true);
    lg->addWidget(explain);
    for (int i : settings::LoggerSwitchParams)
        lg->addWidget(switchBoxes[static_cast<size_t>(i)]);
    lg->addStretch(1);
    right->addWidget(logger);
    clockButton =
        named(new QPushButton(QStringLiteral("Set Halvo Clock")), QStringLiteral("CommandSetSystemClock"));
    connect(clockButton, &QPushButton::clicked, this, &SettingsTab::CommandSetSystemClock_Click);
    right->addWidget(clockButton);
    right->addStretch(1);
    return column;
}

void SettingsTab::showConfiguration()
{
    for (int i = 0; i < Params; ++i)
        showParam(i);
    for (int p = 1; p <= settings::PriorityPositions; ++p)
        priorityCaptions[static_cast<size_t>(p)]->setText(m_config.priorityCaption(p));
}

// One parameter's field, limits and box: what a change of that parameter touches.
void SettingsTab::showParam(int i)
{
    m_showing = true;
    const auto s = static_cast<size_t>(i);
    if (QLineEdit *field = valueFields[s]) {
        if (field->text() != m_config.param(i)) // keeps the cursor of the field being typed in
            field->setText(m_config.param(i));
        maxCaptions[s]->setText(m_config.limit(Limit::Maximum, i));
        minCaptions[s]->setText(m_config.limit(Limit::Minimum, i));
        defaultCaptions[s]->setText(m_config.limit(Limit::Default, i));
    }
    if (QCheckBox *box = switchBoxes[s])
        box->setChecked(m_config.ticked(i));
    m_showing = false;
}

void SettingsTab::showMarks()
{
    const config::Configuration &image = m_changes.unit();
    std::array<bool, Params> changed{};
    for (const config::Difference &d : m_changes.differences())
        if (d.part == config::Part::Settings)
            changed[static_cast<size_t>(d.index)] = true;
    auto unit = [&](int i, bool asBox) -> std::optional<QString> {
        if (!changed[static_cast<size_t>(i)])
            return std::nullopt;
        if (asBox)
            return image.param(i) == QStringLiteral("1") ? QStringLiteral("ticked") : QStringLiteral("clear");
        return image.param(i);
    };
    for (int i = 0; i < Params; ++i) {
        if (QLineEdit *field = valueFields[static_cast<size_t>(i)])
            marks::mark(field, unit(i, false));
        if (QCheckBox *box = switchBoxes[static_cast<size_t>(i)])
            marks::mark(box, unit(i, true));
    }
    // A position whose byte differs: the byte the buttons exchange for it.
    for (int p = 1; p <= settings::PriorityPositions; ++p)
        marks::mark(priorityCaptions[static_cast<size_t>(p)], unit(m_config.priorityParam(p), false));
}

void SettingsTab::Text_Config_Parameters_LostFocus(int index)
{
    if (m_config.checkTyped(index).good)
        return;
    m_dialogs.message(session::Msg::InvalidValue);
    // The default as it stands after the message: a defaults page may arrive meanwhile.
    m_config.typeParam(index, m_config.limit(Limit::Default, index));
}

void SettingsTab::CheckConfigParameters_Click(int index)
{
    m_config.clickSwitch(index, switchBoxes[static_cast<size_t>(index)]->isChecked());
}

void SettingsTab::movePriority(bool up)
{
    int selected = 0;
    for (int p = 1; p <= settings::PriorityPositions; ++p)
        if (priorityButtons[static_cast<size_t>(p)]->isChecked())
            selected = p;
    const int now = m_config.movePriority(up, selected);
    if (now != selected)
        priorityButtons[static_cast<size_t>(now)]->setChecked(true);
}

void SettingsTab::CommandDisplayPriorityUp_Click()
{
    movePriority(true);
}

void SettingsTab::CommandDisplayPriorityDown_Click()
{
    movePriority(false);
}

void SettingsTab::CommandSetSystemClock_Click()
{
    if (m_portReady())
        m_unit.setClock(QDateTime::currentDateTime()); // a frame that cannot go out is told
}

} // namespace halvo::app
