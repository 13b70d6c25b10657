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
    // The holders are never shown, so they take no room in any layout.
    for (QGroupBox *f : {Frame7, Frame8, Frame13, Frame14, Frame15, Frame16}) {
        f->setParent(tab);
        f->hide();
    }

    // Tab follows the groups as they read: values, switches, the priority list, the
    // logger's boxes, the clock.
    QList<QWidget *> order;
    for (int i : settings::SystemValueParams)
        order << Text_Config_Parameters[static_cast<size_t>(i)];
    for (int i : settings::SystemSwitchParams)
        order << CheckConfigParameters[static_cast<size_t>(i)];
    for (int p = 2; p < settings::PriorityPositions; ++p)
        order << OptionPassDisplayPriority[static_cast<size_t>(p)];
    order << CommandDisplayPriorityUp << CommandDisplayPriorityDown
          << CheckConfigParameters[settings::HideUnsetPassParam];
    for (int i : settings::LoggerSwitchParams)
        order << CheckConfigParameters[static_cast<size_t>(i)];
    order << CommandSetSystemClock;
    for (qsizetype k = 1; k < order.size(); ++k)
        setTabOrder(order.at(k - 1), order.at(k));

    for (int i : settings::SystemValueParams)
        onFocusLost(Text_Config_Parameters[static_cast<size_t>(i)],
                    [this, i] { Text_Config_Parameters_LostFocus(i); });
    for (int i = 0; i < ConfigParams; ++i)
        if (QCheckBox *box = CheckConfigParameters[static_cast<size_t>(i)])
            connect(box, &QCheckBox::clicked, this, [this, i] { CheckConfigParameters_Click(i); });
    connect(CommandDisplayPriorityUp, &QPushButton::clicked, this, &FormMain::CommandDisplayPriorityUp_Click);
    connect(CommandDisplayPriorityDown, &QPushButton::clicked, this,
            &FormMain::CommandDisplayPriorityDown_Click);
    connect(CommandSetSystemClock, &QPushButton::clicked, this, &FormMain::CommandSetSystemClock_Click);
    return tab;
}

// ---------------------------------------------------------------- the parameters

settings::ParamTexts FormMain::configTexts() const
{
    settings::ParamTexts t;
    for (int i = 0; i < settings::ParamCount; ++i)
        t[static_cast<size_t>(i)] = Text_Config_Parameters[static_cast<size_t>(i)]->text();
    return t;
}

void FormMain::setConfigValue(int i, const QString &text)
{
    QLineEdit *field = Text_Config_Parameters[static_cast<size_t>(i)];
    field->setText(text);
    if (QCheckBox *box = CheckConfigParameters[static_cast<size_t>(i)]) {
        const auto s = settings::Apply_Switch(text, box->isChecked());
        box->setChecked(s.checked);
        field->setText(s.text);
    }
}

void FormMain::Text_Config_Parameters_LostFocus(int index)
{
    const auto i = static_cast<size_t>(index);
    const auto check = settings::Check_Config_Value(
        Text_Config_Parameters[i]->text(), Label_Config_Parameters_Max[i]->text(),
        Label_Config_Parameters_Min[i]->text(), Label_Config_Parameters_Default[i]->text());
    if (check.good)
        return;
    tell(Msg::InvalidValue);
    // The default as it stands after the message: a defaults page may arrive meanwhile.
    Text_Config_Parameters[i]->setText(Label_Config_Parameters_Default[i]->text());
}

void FormMain::CheckConfigParameters_Click(int index)
{
    const auto i = static_cast<size_t>(index);
    Text_Config_Parameters[i]->setText(settings::Switch_Text(CheckConfigParameters[i]->isChecked()));
}

// One settings page fills one of values, maxima, minima or defaults; the pages come
// in any order and number. After a value page the priority captions follow it.
bool FormMain::Decode_Settings_Page(const QByteArray &reply)
{
    const auto page = settings::Decode_Settings_Page(reply);
    if (!page)
        return true; // an unknown page character: ignored
    for (int i = 0; i < settings::ParamCount; ++i) {
        const auto s = static_cast<size_t>(i);
        const QString text = QString::number(page->bytes[s]);
        switch (page->kind) {
        case settings::SettingsPageKind::Maxima:
            Label_Config_Parameters_Max[s]->setText(text);
            break;
        case settings::SettingsPageKind::Minima:
            Label_Config_Parameters_Min[s]->setText(text);
            break;
        case settings::SettingsPageKind::Defaults:
            Label_Config_Parameters_Default[s]->setText(text);
            break;
        case settings::SettingsPageKind::Values:
            setConfigValue(i, text);
            break;
        }
    }
    if (page->kind != settings::SettingsPageKind::Values)
        return true;
    const auto refresh = m_priority.Class_Refresh(configTexts());
    showPriorityCaptions(refresh.captions);
    return refresh.ok;
}

void FormMain::Store_Config_Parameters()
{
    if (!MSComm1->isOpen())
        return;
    const auto frame = settings::Build_Config_Frame(configTexts());
    if (!frame || !Write_Frame(*frame))
        reportSendFailure();
}

// ---------------------------------------------------------------- display priority

void FormMain::setPriorityBytes(const settings::ParamTexts &values)
{
    for (int q = 1; q <= settings::PriorityPositions; ++q) {
        const auto param = static_cast<size_t>(settings::Priority_Class_Param[static_cast<size_t>(q)]);
        Text_Config_Parameters[param]->setText(values[param]);
    }
}

void FormMain::showPriorityCaptions(const settings::DisplayPriority::Captions &captions)
{
    for (int p = 1; p <= settings::PriorityPositions; ++p)
        if (const auto &text = captions[static_cast<size_t>(p)])
            LabelPassDisplayPriority[static_cast<size_t>(p)]->setText(*text);
}

void FormMain::Init_Display_Priority()
{
    auto values = configTexts();
    m_priority.Init(values);
    setPriorityBytes(values);
}

void FormMain::movePriority(bool up)
{
    int selected = 0;
    for (int p = 1; p <= settings::PriorityPositions; ++p)
        if (OptionPassDisplayPriority[static_cast<size_t>(p)]->isChecked())
            selected = p;
    auto values = configTexts();
    const int now = up ? m_priority.Move_Up(selected, values) : m_priority.Move_Down(selected, values);
    setPriorityBytes(values);
    if (now != selected)
        OptionPassDisplayPriority[static_cast<size_t>(now)]->setChecked(true);
    showPriorityCaptions(m_priority.Position_Refresh(values));
}

void FormMain::CommandDisplayPriorityUp_Click()
{
    movePriority(true);
}

void FormMain::CommandDisplayPriorityDown_Click()
{
    movePriority(false);
}

} // namespace halvo::app
