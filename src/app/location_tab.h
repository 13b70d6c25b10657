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
    void showConfiguration() override;
    void showMarks(const config::Configuration &image,
                   const std::vector<config::Difference> &differences) override;
    void showAlias(int slot);
    // Every alias cut or padded to 16 characters, as leaving its field does; a store
    // does this first for names set without leaving their field.
    void normaliseAliases();

public slots:
    void Text_Location_Name_LostFocus(int index);

private:
    static constexpr int Slots = 50;
    std::array<QLabel *, Slots> codeCaptions{};
    std::array<QLineEdit *, Slots> aliasFields{};
};

} // namespace halvo::app
