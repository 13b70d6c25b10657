#include "collection_panel.h"

#include "operator_dialogs.h"
#include "session/unit_memory.h"
#include "session/unit_session.h"
#include "ui_helpers.h"

#include <QCheckBox>
#include <QDir>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QTimer>
#include <QVBoxLayout>

namespace halvo::app {

namespace {
constexpr int MostMinutes = 24 * 60;
}

CollectionPanel::CollectionPanel(session::UnitSession &session, OperatorDialogs &dialogs,
                                 std::function<int()> firstPages, QWidget *parent)
    : QWidget(parent), m_session(session), m_dialogs(dialogs)
{
    auto *v = new QVBoxLayout(this);
    v->setContentsMargins(0, 0, 0, 0);
    auto *row = new QHBoxLayout;
    collectBox = ui::named(new QCheckBox(QStringLiteral("Collect new events every")),
                           QStringLiteral("CheckCollectEvents"));
    minutesField = ui::named(new QLineEdit(QStringLiteral("15")), QStringLiteral("TxtCollectMinutes"),
                             QStringLiteral("Minutes between collections of new events"));
    minutesField->setMaximumWidth(ui::px(900));
    auto *minutes = new QLabel(QStringLiteral("minutes"));
    minutes->setBuddy(minutesField);
    row->addWidget(collectBox);
    row->addWidget(minutesField);
    row->addWidget(minutes);
    row->addStretch(1);
    collectionLine = ui::describes(
        ui::named(new QLabel(QStringLiteral("No collection")), QStringLiteral("LabelCollection")),
        QStringLiteral("Collection of new events"));
    collectionLine->setWordWrap(true);
    v->addLayout(row);
    v->addWidget(collectionLine);
    connect(collectBox, &QCheckBox::clicked, this, &CollectionPanel::CheckCollectEvents_Click);
    connect(minutesField, &QLineEdit::editingFinished, this, &CollectionPanel::TxtCollectMinutes_LostFocus);

    m_session.setCollectionFirstPages(std::move(firstPages));
    connect(&m_session, &session::UnitSession::collectionChosen, this, [this](bool on, int every) {
        collectBox->setChecked(on);
        minutesField->setText(QString::number(every));
        show();
    });
    connect(&m_session, &session::UnitSession::archiveWanted, this, [this](const QString &gone) {
        // Asked from the event loop, never from inside the banner that brought it.
        QTimer::singleShot(0, this, [this, gone] { askForArchive(gone); });
    });
    // The next time, or the last collection's result.
    connect(&m_session, &session::UnitSession::collectionChanged, this, [this](const QString &result) {
        if (!result.isEmpty())
            m_last = result;
        show();
    });
    connect(&m_session, &session::UnitSession::collectionFailed, this,
            [this](const QString &why, bool first) {
                m_last = QStringLiteral("The last collection failed: ") + why;
                show();
                if (first) // told once a row, and never from inside the download's end
                    QTimer::singleShot(0, this, [this, why] {
                        m_dialogs.message(
                            QStringLiteral("New events could not be collected: %1\n\nThe next period "
                                           "tries again.")
                                .arg(why));
                    });
            });
}

// The unit's archive is chosen the first time its events are collected, and again
// when its file has gone: a new file is never made in its place without a word.
bool CollectionPanel::haveArchive()
{
    session::UnitMemory memory(m_session);
    if (!memory.usableArchive().isEmpty())
        return true;
    const QString archive = chooseArchive(m_dialogs);
    if (archive.isEmpty())
        return false;
    memory.setArchive(archive); // its first collection makes the file
    return true;
}

void CollectionPanel::askForArchive(const QString &gone)
{
    m_dialogs.message(QStringLiteral("The event archive of this unit, %1, is no longer there. Choose where "
                                     "its new events are to be collected.")
                          .arg(QDir::toNativeSeparators(gone)));
    collectBox->setChecked(haveArchive());
    TxtCollectMinutes_LostFocus();
}

void CollectionPanel::CheckCollectEvents_Click()
{
    if (collectBox->isChecked() && !haveArchive())
        collectBox->setChecked(false); // cancelled: nothing collects, and the box says so
    TxtCollectMinutes_LostFocus();
}

// 1 to 1440 minutes; anything else is 15 again, as a page count out of range is 1.
void CollectionPanel::TxtCollectMinutes_LostFocus()
{
    bool ok = false;
    const int minutes = minutesField->text().trimmed().toInt(&ok);
    if (!ok || minutes < 1 || minutes > MostMinutes)
        minutesField->setText(QStringLiteral("15"));
    m_session.chooseCollection(collectBox->isChecked(), minutesField->text().toInt());
}

void CollectionPanel::show()
{
    QStringList text;
    text << (m_session.collecting() ? QStringLiteral("Next collection at ") +
                                          m_session.nextCollection().toString(QStringLiteral("HH:mm"))
                                    : QStringLiteral("No collection"));
    if (!m_last.isEmpty())
        text << m_last;
    collectionLine->setText(text.join(QStringLiteral("; ")));
}

} // namespace halvo::app
