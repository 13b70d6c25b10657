#include "event_view.h"

#include "datafile/data_file.h"
#include "eventlog/event_log_file.h"
#include "operator_dialogs.h"
#include "received_lines.h"
#include "session/messages.h"
#include "ui_helpers.h"

#include <QCheckBox>
#include <QClipboard>
#include <QDir>
#include <QGridLayout>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QScrollBar>
#include <QShortcut>

namespace halvo::app {

using ui::describes;
using ui::named;

EventView::EventView(const ReceivedLines &lines, OperatorDialogs &dialogs, QWidget *parent)
    : QWidget(parent), m_lines(lines), m_dialogs(dialogs), m_filter(lines)
{
    auto *g = new QGridLayout(this);
    g->setContentsMargins(0, 0, 0, 0);
    auto *caption = new QLabel(QStringLiteral("&Filter:"));
    filterField =
        named(new QLineEdit, QStringLiteral("TxtFilterEventLines"), QStringLiteral("Filter event lines"));
    filterField->setPlaceholderText(QStringLiteral("words every line shown holds, e.g. pass 12 alarm"));
    caption->setBuddy(filterField);
    regexBox =
        named(new QCheckBox(QStringLiteral("Regular expression")), QStringLiteral("CheckRegularExpression"));
    filterError = named(new QLabel, QStringLiteral("LabelFilterError"), QStringLiteral("Filter error"));
    filterError->setStyleSheet(QStringLiteral("color: #b00000;"));
    filterError->hide();
    countCaption = describes(named(new QLabel, QStringLiteral("LabelEventLineCount")),
                             QStringLiteral("Event lines shown"));
    auto *exportButton = named(new QPushButton(QStringLiteral("Export Shown Lines...")),
                               QStringLiteral("CmdExportShownLines"));
    lineList = named(new QListView, QStringLiteral("ListEventLines"), QStringLiteral("Event lines"));
    QFont mono(QStringLiteral("Courier New"), 9);
    mono.setStyleHint(QFont::TypeWriter);
    lineList->setFont(mono);
    lineList->setUniformItemSizes(true);
    lineList->setLayoutMode(QListView::Batched);
    lineList->setEditTriggers(QAbstractItemView::NoEditTriggers);
    lineList->setSelectionMode(QAbstractItemView::ExtendedSelection);
    lineList->setModel(&m_filter);
    g->addWidget(caption, 0, 0);
    g->addWidget(filterField, 0, 1);
    g->addWidget(regexBox, 0, 2);
    g->addWidget(countCaption, 0, 3);
    g->addWidget(exportButton, 0, 4);
    g->addWidget(filterError, 1, 1, 1, 4);
    g->addWidget(lineList, 2, 0, 1, 5);
    g->setColumnStretch(1, 1);

    connect(filterField, &QLineEdit::textChanged, this, &EventView::applyFilter);
    connect(regexBox, &QCheckBox::toggled, this, &EventView::applyFilter);
    connect(exportButton, &QPushButton::clicked, this, &EventView::CmdExportShownLines_Click);
    // The count is drawn at most every 150 ms while lines come.
    auto *count = new ui::Throttle(
        150, [this] { countCaption->setText(m_filter.countText()); }, this);
    connect(&m_filter, &EventLineFilter::countChanged, count, &ui::Throttle::request);
    // The view moves to the newest line once a turn of the event loop, not once a line.
    m_toEnd.setSingleShot(true);
    m_toEnd.setInterval(0);
    connect(&m_toEnd, &QTimer::timeout, this, [this] {
        m_scrolling = true;
        lineList->scrollToBottom();
        m_scrolling = false;
    });
    connect(&m_filter, &QAbstractItemModel::rowsInserted, this, &EventView::linesAdded);
    // The list lays long runs of lines out in batches, its range growing after each:
    // the end is followed there too.
    connect(lineList->verticalScrollBar(), &QScrollBar::rangeChanged, this, &EventView::linesAdded);
    connect(lineList->verticalScrollBar(), &QScrollBar::valueChanged, this, &EventView::scrolled);
    connect(lineList->selectionModel(), &QItemSelectionModel::selectionChanged, this, &EventView::scrolled);
    auto *find = new QShortcut(QKeySequence::Find, this, nullptr, nullptr, Qt::WidgetWithChildrenShortcut);
    connect(find, &QShortcut::activated, this, [this] {
        filterField->setFocus(Qt::ShortcutFocusReason);
        filterField->selectAll();
    });
    auto *copy = new QShortcut(QKeySequence::Copy, lineList, nullptr, nullptr, Qt::WidgetShortcut);
    connect(copy, &QShortcut::activated, this, &EventView::copySelection);
    countCaption->setText(m_filter.countText());
}

void EventView::applyFilter()
{
    const QString error = m_filter.setFilter(filterField->text(), regexBox->isChecked());
    filterError->setText(error.isEmpty() ? QString() : QStringLiteral("Not a regular expression: ") + error);
    filterError->setAccessibleDescription(filterError->text());
    filterError->setVisible(!error.isEmpty());
}

// While following, the newest line stays in sight.
void EventView::linesAdded()
{
    if (m_follow && !m_toEnd.isActive())
        m_toEnd.start();
}

// Scrolling away from the end, or selecting a line, stops following; back at the
// end with nothing selected, it follows again.
void EventView::scrolled()
{
    if (m_scrolling)
        return;
    const QScrollBar *bar = lineList->verticalScrollBar();
    m_follow = bar->value() >= bar->maximum() && !lineList->selectionModel()->hasSelection();
}

QString EventView::selectedText() const
{
    QModelIndexList rows = lineList->selectionModel()->selectedRows();
    std::sort(rows.begin(), rows.end(),
              [](const QModelIndex &a, const QModelIndex &b) { return a.row() < b.row(); });
    QStringList out;
    for (const QModelIndex &i : rows) {
        QString line = m_lines.line(m_filter.lineAt(i.row()));
        while (line.endsWith(QLatin1Char('\r')) || line.endsWith(QLatin1Char('\n')))
            line.chop(1);
        out << line;
    }
    return out.join(QLatin1Char('\n'));
}

void EventView::copySelection()
{
    QGuiApplication::clipboard()->setText(selectedText());
}

// The lines shown, each as the event log file holds an entry, written whole or not
// at all.
void EventView::CmdExportShownLines_Click()
{
    const QString path =
        m_dialogs.saveFileName({QStringLiteral("txt"), documentsFolder(), QStringLiteral("Txt Files (*.txt)"),
                                QStringLiteral("Halvo_Events.txt")});
    if (path.isEmpty())
        return;
    QByteArray content;
    for (int row = 0; row < m_filter.shown(); ++row)
        content += eventlog::Event_Log_Entry(m_lines.bytes(m_filter.lineAt(row)));
    if (!datafile::Save_Whole_File(path, content))
        m_dialogs.message(session::Msg::SaveFileError);
}

} // namespace halvo::app
