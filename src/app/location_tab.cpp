#include "location_tab.h"

#include "change_marks.h"
#include "config/configuration.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>

namespace halvo::app {

using ui::describes;
using ui::indexed;
using ui::named;

LocationTab::LocationTab(const TabContext &context, QWidget *parent) : TabPage(context, parent)
{
    auto *h = new QHBoxLayout(this);
    for (int group = 0; group < 5; ++group) {
        auto *frame = new QGroupBox(QStringLiteral("Name Location Addresses"));
        auto *g = new QGridLayout(frame);
        for (int k = 0; k < 10; ++k) {
            const int slot = group * 10 + k;
            const auto s = static_cast<size_t>(slot);
            codeCaptions[s] = describes(named(new QLabel(settings::Location_Code_Caption(slot)),
                                              indexed("Lbl_Location_Address", slot)),
                                        QStringLiteral("Location %1 code").arg(slot + 1));
            aliasFields[s] = named(new QLineEdit, indexed("Text_Location_Name", slot),
                                   QStringLiteral("Location %1 name").arg(slot + 1));
            connect(aliasFields[s], &QLineEdit::textChanged, this, [this, slot](const QString &text) {
                if (text == m_config.alias(slot))
                    return; // shown, not edited
                m_config.setAlias(slot, text);
                emit edited();
            });
            m_focusChecks.add(aliasFields[s], [this, slot] { Text_Location_Name_LostFocus(slot); });
            g->addWidget(codeCaptions[s], k, 0);
            g->addWidget(aliasFields[s], k, 1);
        }
        h->addWidget(frame);
    }
    showConfiguration();
}

void LocationTab::showConfiguration()
{
    for (int slot = 0; slot < Slots; ++slot)
        showAlias(slot);
}

void LocationTab::showMarks(const config::Configuration &image,
                            const std::vector<config::Difference> &differences)
{
    std::array<bool, Slots> changed{};
    for (const config::Difference &d : differences)
        if (d.item == config::Item::Location)
            changed[static_cast<size_t>(d.index)] = true;
    for (int slot = 0; slot < Slots; ++slot)
        marks::Mark(aliasFields[static_cast<size_t>(slot)],
                    changed[static_cast<size_t>(slot)]
                        ? std::optional<QString>(QLatin1Char('"') + image.alias(slot) + QLatin1Char('"'))
                        : std::nullopt);
}

void LocationTab::showAlias(int slot)
{
    aliasFields[static_cast<size_t>(slot)]->setText(m_config.alias(slot));
}

void LocationTab::Text_Location_Name_LostFocus(int index)
{
    QLineEdit *field = aliasFields[static_cast<size_t>(index)];
    field->setText(settings::Normalise_Alias(field->text()));
}

void LocationTab::normaliseAliases()
{
    for (int slot = 0; slot < Slots; ++slot)
        Text_Location_Name_LostFocus(slot);
}

} // namespace halvo::app
