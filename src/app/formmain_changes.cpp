// FormMain: what the window holds and the unit does not. Marks on the tabs, the
// count beside STORE, and "Review Changes", which stores only the chosen items and
// reads them back.
#include "formmain.h"

#include "config/store_plan.h"
#include "location_tab.h"
#include "pass_tab.h"
#include "session/messages.h"
#include "settings_tab.h"

#include <QLabel>

#include <set>

namespace halvo::app {

namespace {
session::ReadPart partOf(config::Item item)
{
    switch (item) {
    case config::Item::Pass:
        return session::ReadPart::Passes;
    case config::Item::Settings:
        return session::ReadPart::Settings;
    case config::Item::Location:
        break;
    }
    return session::ReadPart::Locations;
}

QString tabCaption(config::Item item)
{
    switch (item) {
    case config::Item::Pass:
        return QStringLiteral("Pass Device Configuration ");
    case config::Item::Settings:
        return QStringLiteral("System Settings");
    case config::Item::Location:
        break;
    }
    return QStringLiteral("Location Name Configuration");
}
} // namespace

bool FormMain::anyPartRead() const
{
    using session::ReadPart;
    return m_session.imageRead(ReadPart::Passes) || m_session.imageRead(ReadPart::Settings) ||
           m_session.imageRead(ReadPart::Locations);
}

// Field by field, what differs from the unit, of the parts read from it.
std::vector<config::Difference> FormMain::changesNotStored() const
{
    std::vector<config::Difference> known;
    for (config::Difference &d : config::Differences(m_config, m_session.unitImage()))
        if (m_session.imageRead(partOf(d.item)))
            known.push_back(std::move(d));
    return known;
}

void FormMain::refreshMarks()
{
    const auto changes = changesNotStored();
    const auto n = changes.size();
    changesLine->setText(!anyPartRead() ? QStringLiteral("Unit not read yet")
                         : n == 0       ? QStringLiteral("Unit matches the window")
                         : n == 1       ? QStringLiteral("1 change not stored")
                                        : QStringLiteral("%1 changes not stored").arg(n));
    for (TabPage *tab : std::initializer_list<TabPage *>{m_passTab, m_settingsTab, m_locationTab})
        tab->showMarks(m_session.unitImage(), changes);
}

void FormMain::CommandReviewChanges_Click()
{
    const auto items = config::By_Item(changesNotStored());
    std::vector<ReviewRow> rows;
    for (const config::ItemDifferences &i : items) {
        ReviewRow row{tabCaption(i.item), config::Item_Name(i.item, i.index), {}};
        for (const config::Difference &d : i.fields)
            row.fields << config::Field_Label(d) + QStringLiteral(": ") +
                              config::Difference_Values(d, QStringLiteral("window"), QStringLiteral("unit"));
        rows.push_back(row);
    }
    const QString nothing = anyPartRead() ? QStringLiteral("Nothing to store: the unit matches the window.")
                                          : QStringLiteral("Nothing to compare yet: read the unit first.");
    const auto chosen = m_dialogs.reviewChanges(rows, nothing);
    if (!chosen || chosen->empty() || m_session.storing() || !m_session.Ensure_Port_Open())
        return;
    std::vector<config::ItemRef> refs;
    std::set<session::ReadPart> parts;
    for (int r : *chosen) {
        const config::ItemDifferences &i = items[static_cast<size_t>(r)];
        refs.push_back({i.item, i.index});
        parts.insert(partOf(i.item));
    }
    const auto plan = config::Items_Store_Plan(m_config, refs);
    if (!plan) {
        tell(session::Msg::CommError);
        return;
    }
    // The unit does not answer a store: reading back what was stored is the proof,
    // and it moves the marks.
    startStore(*plan, static_cast<int>(plan->frames.size()), [this, parts](session::StoreOutcome outcome) {
        if (outcome == session::StoreOutcome::Done)
            for (session::ReadPart part : parts)
                m_session.readBack(part);
    });
}

} // namespace halvo::app
