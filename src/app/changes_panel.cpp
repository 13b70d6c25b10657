#include "changes_panel.h"

#include "config/store_plan.h"
#include "operator_dialogs.h"
#include "session/changes_not_stored.h"
#include "session/run.h"
#include "session/unit_session.h"
#include "ui_helpers.h"

#include <QKeySequence>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace halvo::app {

ChangesPanel::ChangesPanel(const TabContext &context, QWidget *parent)
    : QWidget(parent), m_config(context.config), m_session(context.unit), m_changes(context.changes),
      m_dialogs(context.dialogs), m_portReady(context.portReady)
{
    auto *v = new QVBoxLayout(this);
    v->setContentsMargins(0, 0, 0, 0);
    v->setSpacing(2);
    auto *review =
        ui::named(new QPushButton(QStringLiteral("Review Changes")), QStringLiteral("CommandReviewChanges"));
    review->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_D));
    review->setToolTip(QStringLiteral("Review Changes (Ctrl+D)"));
    connect(review, &QPushButton::clicked, this, &ChangesPanel::CommandReviewChanges_Click);
    changesLine = ui::named(new QLabel(m_changes.summary()), QStringLiteral("LabelChanges"));
    m_recordLine = ui::named(new QLabel, QStringLiteral("LabelRecorded"), QStringLiteral("Records"));
    v->addWidget(review);
    v->addWidget(changesLine);
    v->addWidget(m_recordLine);
    // "Unit matches the window" is said only once a read back has agreed.
    auto show = [this] {
        changesLine->setText(m_session.storeChecking() ? QStringLiteral("Checking what the unit holds...")
                                                       : m_changes.summary());
    };
    connect(&m_changes, &session::ChangesNotStored::changed, this, show);
    connect(&m_session, &session::UnitSession::runStarted, this, [this, show](session::Run *run) {
        if (run->kind() != session::Run::Kind::Store)
            return;
        connect(run, &session::Run::stageChanged, this, show);
        connect(run, &session::Run::finished, this, show);
    });
}

void ChangesPanel::CommandReviewChanges_Click()
{
    const auto items = config::By_Item(m_changes.differences());
    std::vector<ReviewRow> rows;
    for (const config::ItemDifferences &i : items) {
        ReviewRow row{config::Part_Title(i.part), config::Item_Name(i.part, i.index), {}, {}};
        for (const config::Difference &d : i.fields) {
            const auto [window, unit] = config::Difference_Texts(d);
            row.window << config::Field_Label(d) + QStringLiteral(": ") + window;
            row.unit << config::Field_Label(d) + QStringLiteral(": ") + unit;
        }
        rows.push_back(row);
    }
    const QString nothing = m_changes.anyPartRead()
                                ? QStringLiteral("Nothing to store: the unit matches the window.")
                                : QStringLiteral("Nothing to compare yet: read the unit first.");
    const auto chosen = m_dialogs.reviewChanges(rows, nothing);
    if (!chosen || chosen->empty() || !m_portReady())
        return;
    std::vector<config::ItemRef> refs;
    for (int r : *chosen)
        refs.push_back({items[static_cast<size_t>(r)].part, items[static_cast<size_t>(r)].index});
    m_session.storeItems(refs, m_config); // one store at a time: a second is refused unsaid
}

} // namespace halvo::app
