#pragma once

#include "tab_page.h"

#include <array>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace halvo::app {

// "System Settings": the config parameters an operator may change, with the unit's
// limits beside them; the switches; the pass display priority list; and the
// "Set Halvo Clock" button. Parameters the tab does not show live in the
// configuration only.
class SettingsTab : public TabPage
{
    Q_OBJECT
public:
    explicit SettingsTab(const TabContext &context, QWidget *parent = nullptr);

public slots:
    void Text_Config_Parameters_LostFocus(int index);
    void CheckConfigParameters_Click(int index);
    void CommandDisplayPriorityUp_Click();
    void CommandDisplayPriorityDown_Click();
    void CommandSetSystemClock_Click();

private:
    QWidget *buildSystemSettings();
    QWidget *buildPriorityList();
    QWidget *buildLogger();
    void showConfiguration();
    void showParam(int index);
    void showMarks();
    void movePriority(bool up);

    static constexpr int Params = 32;
    std::array<QLineEdit *, Params> valueFields{}; // the shown value parameters only
    std::array<QLabel *, Params> maxCaptions{}, minCaptions{}, defaultCaptions{};
    std::array<QCheckBox *, Params> switchBoxes{};   // the on/off switches only
    std::array<QRadioButton *, 7> priorityButtons{}; // positions 1..6
    std::array<QLabel *, 7> priorityCaptions{};
    QPushButton *upButton = nullptr;
    QPushButton *downButton = nullptr;
    QPushButton *clockButton = nullptr;
    bool m_showing = false; // the fields are being filled from the configuration
};

} // namespace halvo::app
