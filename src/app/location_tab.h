#pragma once

#include "tab_page.h"

#include <array>

class QLabel;
class QLineEdit;

namespace halvo::app {

// "Location Name Configuration": the 50 location aliases beside their codes, in five
// groups of ten.
class LocationTab : public TabPage
{
    Q_OBJECT
public:
    explicit LocationTab(const TabContext &context, QWidget *parent = nullptr);

public slots:
    void Text_Location_Name_LostFocus(int index);

private:
    void showAlias(int slot);
    void showMarks();

    static constexpr int Slots = 50;
    std::array<QLabel *, Slots> codeCaptions{};
    std::array<QLineEdit *, Slots> aliasFields{};
};

} // namespace halvo::app
