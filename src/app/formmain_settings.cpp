// FormMain, System Settings tab: the config parameters, their limits and switches,
// and the pass display priority order.
#include "formmain.h"

#include "settings/config_params.h"
#include "settings/display_priority.h"
#include "ui_helpers.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace halvo::app {

using ui::describes;
using ui::indexed;
using ui::named;

// ---------------------------------------------------------------- widgets

QWidget *FormMain::buildSettingsTab()
{
    auto *tab = new QWidget;
    auto *h = new QHBoxLayout(tab);

    // Every parameter has a value field and limit captions; the ones an operator may
    // not change live in hidden holder frames but still carry data.
    for (int i = 0; i < ConfigParams; ++i) {
        const auto s = static_cast<size_t>(i);
        const QString desc = settings::Param_Description(i);
        Text_Config_Parameters[s] =
            named(new QLineEdit(QStringLiteral("0")), indexed("Text_Config_Parameters", i), desc);
        auto limit = [&](const char *name, const QString &meaning) {
            return describes(named(new QLabel(QStringLiteral("0")), indexed(name, i)), desc + meaning);
        };
        Label_Config_Parameters_Max[s] = limit("Label_Config_Parameters_Max", QStringLiteral(" maximum"));
        Label_Config_Parameters_Min[s] = limit("Label_Config_Parameters_Min", QStringLiteral(" minimum"));
        Label_Config_Parameters_Default[s] =
            limit("Label_Config_Parameters_Default", QStringLiteral(" default"));
        Label_Config_Parameters_Description[s] =
            named(new QLabel(desc), indexed("Label_Config_Parameters_Description", i));
        if (settings::Is_Switch(i))
            CheckConfigParameters[s] = named(new QCheckBox(desc), indexed("CheckConfigParameters", i));
    }

    auto holder = [](const QString &name, const QString &title) {
        auto *f = named(new QGroupBox(title), name);
        new QGridLayout(f);
        return f;
    };
    Frame7 = holder(QStringLiteral("Frame7"), {});
    Frame8 = holder(QStringLiteral("Frame8"), {});
    Frame13 = holder(QStringLiteral("Frame13"), QStringLiteral("Data Logger Setup boxes"));
    Frame14 = holder(QStringLiteral("Frame14"), QStringLiteral("Pass Display Priority"));
    Frame15 = holder(QStringLiteral("Frame15"), QStringLiteral("System Settings"));
    Frame16 = holder(QStringLiteral("Frame16"), {});
    auto hold = [](QGroupBox *frame, int row, std::initializer_list<QWidget *> widgets) {
        auto *g = static_cast<QGridLayout *>(frame->layout());
        int c = 0;
        for (QWidget *w : widgets)
            g->addWidget(w, row, c++);
    };

    // "System Settings": value fields with their limits, then the switches 3 and 9.
    auto *sys =
        named(new QGroupBox(QStringLiteral("System Settings")), QStringLiteral("FrameSystemSettings"));
    auto *sg = new QGridLayout(sys);
    const QStringList heads = {QStringLiteral("Configuration Parameter"), QStringLiteral("Value"),
                               QStringLiteral("Max Value"), QStringLiteral("Min Value"),
                               QStringLiteral("Default Value")};
    for (int c = 0; c < heads.size(); ++c)
        sg->addWidget(new QLabel(heads.at(c)), 0, c);
    int r = 1;
    for (int i : settings::SystemValueParams) {
        const auto s = static_cast<size_t>(i);
        sg->addWidget(Label_Config_Parameters_Description[s], r, 0);
        sg->addWidget(Text_Config_Parameters[s], r, 1);
        sg->addWidget(Label_Config_Parameters_Max[s], r, 2);
        sg->addWidget(Label_Config_Parameters_Min[s], r, 3);
        sg->addWidget(Label_Config_Parameters_Default[s], r, 4);
        Label_Config_Parameters_Description[s]->setBuddy(Text_Config_Parameters[s]);
        Text_Config_Parameters[s]->setMaximumWidth(60);
        ++r;
    }
    for (int i : settings::SystemSwitchParams)
        sg->addWidget(CheckConfigParameters[static_cast<size_t>(i)], r++, 0, 1, 2);
    sg->setRowStretch(r, 1);
    h->addWidget(sys);

    // "Pass Display Priority ": six positions; 1 and 6 cannot move.
    auto *prio = named(new QGroupBox(QStringLiteral("Pass Display Priority ")),
                       QStringLiteral("FramePassDisplayPriority"));
    auto *pg = new QGridLayout(prio);
    for (int p = 1; p <= settings::PriorityPositions; ++p) {
        const auto s = static_cast<size_t>(p);
        OptionPassDisplayPriority[s] = named(new QRadioButton, indexed("OptionPassDisplayPriority", p),
                                             QStringLiteral("Select priority position %1").arg(p));
        LabelPassDisplayPriority[s] = describes(
            named(new QLabel(settings::Initial_Priority_Caption(p)), indexed("LabelPassDisplayPriority", p)),
            QStringLiteral("Priority position %1").arg(p));
        LabelPassDisplayPriorityFixed[s] =
            named(new QLabel(settings::Priority_Class_Name(p)), indexed("LabelPassDisplayPriorityFixed", p));
        hold(Frame14, p, {LabelPassDisplayPriorityFixed[s]});
        pg->addWidget(new QLabel(QString::number(p)), p - 1, 0);
        pg->addWidget(OptionPassDisplayPriority[s], p - 1, 1);
        pg->addWidget(LabelPassDisplayPriority[s], p - 1, 2);
        OptionPassDisplayPriority[s]->setVisible(p != 1 && p != settings::PriorityPositions);
    }
    CommandDisplayPriorityUp =
        named(new QPushButton(QStringLiteral("Up")), QStringLiteral("CommandDisplayPriorityUp"));
    CommandDisplayPriorityDown =
        named(new QPushButton(QStringLiteral("Down")), QStringLiteral("CommandDisplayPriorityDown"));
    pg->addWidget(CommandDisplayPriorityUp, 6, 1, 1, 2);
    pg->addWidget(CommandDisplayPriorityDown, 7, 1, 1, 2);
    pg->addWidget(CheckConfigParameters[settings::HideUnsetPassParam], 8, 0, 1, 3);
    pg->setRowStretch(9, 1);
    h->addWidget(prio);

    auto *right = new QVBoxLayout;
    auto *logger =
        named(new QGroupBox(QStringLiteral("Data Logger Setup ")), QStringLiteral("FrameDataLoggerSetup"));
    auto *lg = new QVBoxLayout(logger);
    auto *explain = new QLabel(QStringLiteral("Select what data to log in event logger.  Attached device are "
                                              "those configured in Pass Configuration"));
    explain->setWordWrap(true);
    lg->addWidget(explain);
    for (int i : settings::LoggerSwitchParams)
        lg->addWidget(CheckConfigParameters[static_cast<size_t>(i)]);
    lg->addStretch(1);
    right->addWidget(logger);
    CommandSetSystemClock =
        named(new QPushButton(QStringLiteral("Set Halvo Clock")), QStringLiteral("CommandSetSystemClock"));
    right->addWidget(CommandSetSystemClock);
    right->addStretch(1);
    h->addLayout(right);

    // Hidden holders of the parameters the tab does not show, and of the limit
    // captions of the switches.
    for (int i = 0; i < ConfigParams; ++i) {
        const auto s = static_cast<size_t>(i);
        if (settings::Param_Info(i).group == settings::Group::SystemSettings && !settings::Is_Switch(i))
            continue; // shown in the "System Settings" group
        QGroupBox *frame = (i >= 16 && i <= 22)   ? Frame14
                           : (i >= 26 && i <= 30) ? Frame13
                                                  : (i < 16 ? Frame15 : Frame16);
        hold(frame, i + 10,
             {Text_Config_Parameters[s], Label_Config_Parameters_Max[s], Label_Config_Parameters_Min[s],
              Label_Config_Parameters_Default[s]});
        hold(settings::Is_Switch(i) && i < 10 ? Frame7 : Frame8, i, {Label_Config_Parameters_Description[s]});
    }
    for (QGroupBox *f : {Frame7, Frame8, Frame13, Frame14, Frame15})
        right->addWidget(f);
    h->addWidget(Frame16);

    // Reading, checking and storing the settings come with their own change; until
    // then the fields are shown but cannot be edited.
    for (auto *e : Text_Config_Parameters)
        e->setReadOnly(true);
    for (auto *c : CheckConfigParameters)
        if (c)
            c->setEnabled(false);
    for (auto *b : {CommandDisplayPriorityUp, CommandDisplayPriorityDown, CommandSetSystemClock})
        b->setEnabled(false);
    return tab;
}

// ---------------------------------------------------------------- display priority

void FormMain::Init_Display_Priority()
{
    // Start-up puts every class at its own position.
    for (int q = 1; q <= settings::PriorityPositions; ++q) {
        const auto s = static_cast<size_t>(q);
        const int param = settings::Priority_Class_Param[s];
        m_priorityPositionParam[s] = param;
        Text_Config_Parameters[static_cast<size_t>(param)]->setText(QString::number(q));
        m_priorityClassNames[s] = LabelPassDisplayPriorityFixed[s]->text();
        LabelPassDisplayPriority[s]->setText(m_priorityClassNames[s]);
    }
}

// ---------------------------------------------------------------- settings pages

// Settings pages are read with their own change; until then they are taken and left
// alone.
bool FormMain::Decode_Settings_Page(const QByteArray &)
{
    return true;
}

} // namespace halvo::app
