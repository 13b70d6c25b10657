#include "location_tab.h"

#include "change_marks.h"
#include "config/configuration.h"
#include "session/changes_not_stored.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>

namespace halvo::app {

using ui::describes;
using ui::indexed;
using ui::named;

LocationTab::LocationTab(const TabContext &context, QWidget *parent)
    : TabPage(config::Part::Locations, context, parent)
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
            connect(aliasFields[s], &QLineEdit::textChanged, this,
                    [this, slot](const QString &text) { m_config.setAlias(slot, text); });
            m_focusChecks.add(aliasFields[s], [this, slot] { Text_Location_Name_LostFocus(slot); });
            g->addWidget(codeCaptions[s], k, 0);
            g->addWidget(aliasFields[s], k, 1);
        }
        h->addWidget(frame);
    }
    for (int slot = 0; slot < Slots; ++slot)
        showAlias(slot);
    connect(m_config.notifier(), &config::ConfigurationNotifier::changed, this, [this](config::Change c) {
        if (c.part != config::Part::Locations)
            return;
        for (int slot = c.whole() ? 0 : c.index; slot <= (c.whole() ? Slots - 1 : c.index); ++slot)
            showAlias(slot);
    });
    connect(&m_changes, &session::ChangesNotStored::changed, this, &LocationTab::showMarks);
}

void LocationTab::showMarks()
{
    const config::Configuration &image = m_changes.unit();
    std::array<bool, Slots> changed{};
    for (const config::Difference &d : m_changes.differences())
        if (d.part == config::Part::Locations)
            changed[static_cast<size_t>(d.index)] = true;
    for (int slot = 0; slot < Slots; ++slot)
        marks::mark(aliasFields[static_cast<size_t>(slot)],
                    changed[static_cast<size_t>(slot)]
                        ? std::optional<QString>(QLatin1Char('"') + image.alias(slot) + QLatin1Char('"'))
                        : std::nullopt);
}

void LocationTab::showAlias(int slot)
{
    QLineEdit *field = aliasFields[static_cast<size_t>(slot)];
    if (field->text() != m_config.alias(slot)) // keeps the cursor of the field being typed in
        field->setText(m_config.alias(slot));
}

void LocationTab::Text_Location_Name_LostFocus(int index)
{
    QLineEdit *field = aliasFields[static_cast<size_t>(index)];
    field->setText(settings::Normalise_Alias(field->text()));
}

} // namespace halvo::app
