#include "pass_tab.h"

#include "bit_boxes.h"
#include "change_marks.h"
#include "config/configuration.h"
#include "operator_dialogs.h"
#include "pass_table_model.h"
#include "session/changes_not_stored.h"
#include "session/messages.h"
#include "session/store_job.h"
#include "session/unit_session.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeView>
#include <QVBoxLayout>

namespace halvo::app {

using namespace passes;
using ui::indexed;
using ui::named;
using ui::px;

PassTab::PassTab(const TabContext &context, QWidget *parent) : TabPage(config::Part::Passes, context, parent)
{
    auto *v = new QVBoxLayout(this);
    auto *tableFrame = new QGroupBox;
    auto *tv = new QVBoxLayout(tableFrame);
    m_table = new PassTableModel(m_config, m_changes, this);
    passList = named(new QTreeView, QStringLiteral("ListView1"), QStringLiteral("Pass table"));
    passList->setModel(m_table);
    m_table->setTint(marks::tint(passList->palette()));
    passList->setRootIsDecorated(false);
    passList->setUniformRowHeights(true);
    passList->setAllColumnsShowFocus(true);
    passList->setEditTriggers(QAbstractItemView::NoEditTriggers);
    passList->setMinimumHeight(px(2850));
    passList->setMinimumWidth(px(14100) - 40);
    tv->addWidget(passList);
    connect(passList, &QTreeView::clicked, this, &PassTab::ListView1_ItemClick);
    v->addWidget(tableFrame, 1);

    auto *editor =
        named(new QGroupBox(QStringLiteral("Current Pass Index#")), QStringLiteral("FrameCurrentRecord"));
    buildEditor(editor);
    v->addWidget(editor);

    connect(m_config.notifier(), &config::ConfigurationNotifier::changed, this,
            &PassTab::onConfigurationChanged);
    connect(&m_changes, &session::ChangesNotStored::changed, this, &PassTab::showEditorMarks);
    // The given widths assume the unit's small system font; a column is never
    // narrower than its text here, drawn bold when it is marked as changed.
    for (int c = 0; c < ColumnCount; ++c) {
        passList->setColumnWidth(c, Column_Widths()[static_cast<size_t>(c)]);
        if (c <= ColOptionFlags) {
            passList->resizeColumnToContents(c);
            const int fit = passList->columnWidth(c);
            passList->setColumnWidth(c, std::max(fit + fit / 8 + 8, Column_Widths()[static_cast<size_t>(c)]));
        }
    }
}

void PassTab::buildEditor(QWidget *frame)
{
    auto *ed = new QHBoxLayout(frame);
    auto *fields = new QGridLayout;
    indexCaption =
        ui::describes(named(new QLabel(QStringLiteral("01")), QStringLiteral("LabelCurrentPassIndex")),
                      QStringLiteral("Current pass index"));
    QFont bold = indexCaption->font();
    bold.setBold(true);
    bold.setPointSize(12);
    indexCaption->setFont(bold);
    fields->addWidget(indexCaption, 0, 0, 1, 2);
    auto field = [&](int r, const QString &label, const QString &name, const QString &text) {
        auto *e = named(new QLineEdit(text), name, label);
        auto *l = new QLabel(label);
        l->setBuddy(e);
        fields->addWidget(l, r, 0);
        fields->addWidget(e, r, 1);
        return e;
    };
    userNameField = field(1, QStringLiteral("Username 16-Characters"),
                          QStringLiteral("TextCurrentPassUsername"), QStringLiteral("Username Pass X"));
    systemIdField = field(2, QStringLiteral("SYS ID 01-FE"), QStringLiteral("TextPassCurrentSysId"),
                          QStringLiteral("F0"));
    userIdField = field(3, QStringLiteral("USER ID 01-99"), QStringLiteral("TextPassCurrentUserId"),
                        QStringLiteral("01"));
    timeoutField = field(4, QStringLiteral("Signal Timeout"), QStringLiteral("TextPassCurrentSignalTimeout"),
                         QStringLiteral("0"));
    m_focusChecks.add(systemIdField, [this] { TextPassCurrentSysId_LostFocus(); });
    m_focusChecks.add(userIdField, [this] { TextPassCurrentUserId_LostFocus(); });
    m_focusChecks.add(timeoutField, [this] { TextPassCurrentSignalTimeout_LostFocus(); });
    ed->addLayout(fields);

    // Port steering: 16 boxes in one row, bit 15 at the left, so they read like the bit text.
    auto portRow = [&](BitBoxes &boxes, const char *name, const QString &what) {
        auto *h = new QHBoxLayout;
        h->setSpacing(0);
        for (int k = 15; k >= 0; --k) {
            auto *c = named(new QCheckBox, indexed(name, k), QStringLiteral("%1 port %2").arg(what).arg(k));
            c->setToolTip(QStringLiteral("Port %1").arg(k));
            boxes[k] = c;
            h->addWidget(c);
            if (k % 4 == 0 && k > 0)
                h->addSpacing(6);
        }
        return h;
    };
    auto *ports = new QVBoxLayout;
    auto *alarmFrame = new QGroupBox(QStringLiteral("Port Steering On Alarm"));
    alarmFrame->setLayout(portRow(alarmPortBoxes, "CheckCurrentPassAlarmPortSteering",
                                  QStringLiteral("Port Steering On Alarm")));
    ports->addWidget(alarmFrame);
    auto *optionFrame = new QGroupBox(QStringLiteral("Port Steering on Option"));
    auto *of = new QVBoxLayout(optionFrame);
    auto *ofTop = new QHBoxLayout;
    optionModeBox = named(new QComboBox, QStringLiteral("ComboOptionCurrentPassAlarmPortSteering"),
                          QStringLiteral("Option mode"));
    optionModeBox->addItems(Option_Mode_Names());
    optionModeBox->setCurrentIndex(0);
    optionTriggerField =
        named(new QLineEdit(QStringLiteral("0")), QStringLiteral("TextCurrentPassOptionPortSteering"),
              QStringLiteral("Option trigger"));
    optionTriggerField->setMaximumWidth(60);
    ofTop->addWidget(optionModeBox, 1);
    ofTop->addWidget(optionTriggerField);
    of->addLayout(ofTop);
    of->addLayout(portRow(optionPortBoxes, "CheckCurrentPassOptionPortSteering",
                          QStringLiteral("Port Steering on Option")));
    ports->addWidget(optionFrame);
    ed->addLayout(ports);

    // Option flags: two columns of four, each box with its label to its left.
    auto *flagsFrame = new QGroupBox(QStringLiteral("Option Flags"));
    auto *fg = new QGridLayout(flagsFrame);
    const QStringList flagNames = {QStringLiteral("Out of Range Option"),
                                   QStringLiteral("Transmit Alarm Ack")};
    for (int k = 0; k < 8; ++k) {
        const QString text = k < flagNames.size() ? flagNames.at(k) : QStringLiteral("NA");
        auto *l = named(new QLabel(text), indexed("LabelCurrentPassOption", k));
        auto *c = named(new QCheckBox, indexed("CheckCurrentPassOption", k),
                        QStringLiteral("Option flag %1 %2").arg(k).arg(text));
        l->setBuddy(c);
        flagBoxes[k] = c;
        fg->addWidget(l, k % 4, (k / 4) * 2);
        fg->addWidget(c, k % 4, (k / 4) * 2 + 1);
    }
    ed->addWidget(flagsFrame);

    auto *buttons = new QVBoxLayout;
    auto button = [&](const QString &text, const QString &name, void (PassTab::*handler)()) {
        auto *b = named(new QPushButton(text), name);
        buttons->addWidget(b);
        connect(b, &QPushButton::clicked, this, handler);
    };
    button(QStringLiteral("SAVE"), QStringLiteral("CommandCurrentPassSave"),
           &PassTab::CommandCurrentPassSave_Click);
    button(QStringLiteral("CLEAR"), QStringLiteral("CommandCurrentPassClear"),
           &PassTab::CommandCurrentPassClear_Click);
    button(QStringLiteral("Set Selected"), QStringLiteral("CommandSetSelectedPasses"),
           &PassTab::CommandSetSelectedPasses_Click);
    button(QStringLiteral("Set All"), QStringLiteral("CommandLoadAllPasses"),
           &PassTab::CommandLoadAllPasses_Click);
    ed->addLayout(buttons);
}

// ---------------------------------------------------------------- the table

// A row from the unit, a file or the editor (the table shows it itself): the option
// mode box follows the last row that changed, as it follows the last pass record
// decoded.
void PassTab::onConfigurationChanged(const config::Change &change)
{
    if (change.part != config::Part::Passes)
        return;
    const int last = change.whole() ? PassCount : change.index;
    bool ok = false;
    const int mode = m_config.passRow(last)[ColOptionMode].toInt(&ok);
    if (ok && mode >= 0 && mode < optionModeBox->count())
        optionModeBox->setCurrentIndex(mode);
}

void PassTab::showEditorMarks()
{
    const int row = m_currentRow;
    const config::Configuration &image = m_changes.unit();
    const bool shown = m_changes.anyPartRead();
    auto unitText = [&](int column) -> std::optional<QString> {
        if (!shown || !m_table->marked(row, column))
            return std::nullopt;
        return image.passRow(row)[static_cast<size_t>(column)];
    };
    const std::pair<QWidget *, int> fields[] = {
        {userNameField, ColUserName},       {systemIdField, ColSystemId},
        {userIdField, ColUserId},           {timeoutField, ColSignalTimeout},
        {optionModeBox, ColOptionModeName}, {optionTriggerField, ColOptionTrigger}};
    for (const auto &[control, column] : fields)
        marks::mark(control, unitText(column));
    // A port or flag box is marked when its own bit differs from the unit's.
    const std::pair<BitBoxes *, int> bits[] = {{&alarmPortBoxes, ColAlarmSteering},
                                               {&optionPortBoxes, ColOptionSteering},
                                               {&flagBoxes, ColOptionFlags}};
    for (const auto &[boxes, column] : bits)
        boxes->mark(m_config.passRow(row)[static_cast<size_t>(column)],
                    image.passRow(row)[static_cast<size_t>(column)], shown && m_table->marked(row, column));
}

// ---------------------------------------------------------------- the editor

void PassTab::ListView1_ItemClick(const QModelIndex &index)
{
    const int row = index.isValid() ? index.row() + 1 : 0;
    if (row < 1)
        return;
    const PassRow &r = m_config.passRow(row);
    m_currentRow = row;
    indexCaption->setText(r[ColIndex]);
    userNameField->setText(r[ColUserName]);
    systemIdField->setText(r[ColSystemId]);
    userIdField->setText(r[ColUserId]);
    timeoutField->setText(r[ColSignalTimeout]);
    alarmPortBoxes.showText(r[ColAlarmSteering]);
    // A mode outside the list (a damaged row) leaves the box as it is; the rest of
    // the row still loads.
    bool ok = false;
    const int mode = r[ColOptionMode].toInt(&ok);
    if (ok && mode >= 0 && mode < optionModeBox->count())
        optionModeBox->setCurrentIndex(mode);
    optionTriggerField->setText(r[ColOptionTrigger]);
    optionPortBoxes.showText(r[ColOptionSteering]);
    flagBoxes.showText(r[ColOptionFlags]);
    showEditorMarks();
}

void PassTab::Write_Editor_Into_Row(int row)
{
    if (row < 1 || row > PassCount)
        return;
    PassRow r = m_config.passRow(row);
    const QString name = Normalise_User_Name(userNameField->text());
    userNameField->setText(name);
    r[ColUserName] = name;
    r[ColSystemId] = systemIdField->text();
    r[ColUserId] = userIdField->text();
    r[ColSignalTimeout] = timeoutField->text();
    r[ColAlarmSteering] = alarmPortBoxes.text();
    const int mode = std::max(0, optionModeBox->currentIndex());
    r[ColOptionMode] = QString::number(mode);
    r[ColOptionModeName] = Option_Mode_Names().at(mode);
    r[ColOptionTrigger] = optionTriggerField->text();
    r[ColOptionSteering] = optionPortBoxes.text();
    r[ColOptionFlags] = flagBoxes.text();
    m_config.setPassRow(row, r);
}

void PassTab::CommandCurrentPassSave_Click()
{
    Write_Editor_Into_Row(m_currentRow);
}

// Whole-table operations cover the pass count: 32 while a "Halvo ST" store runs.
void PassTab::CommandLoadAllPasses_Click()
{
    for (int row = 1; row <= m_passCount; ++row)
        Write_Editor_Into_Row(row);
}

void PassTab::CommandSetSelectedPasses_Click()
{
    for (int row = 1; row <= m_passCount; ++row) {
        if (m_table->ticked(row)) {
            m_table->untick(row);
            Write_Editor_Into_Row(row);
        }
    }
}

void PassTab::CommandCurrentPassClear_Click()
{
    userNameField->setText(QString(16, QLatin1Char(' ')));
    systemIdField->setText(QStringLiteral("01"));
    userIdField->setText(QStringLiteral("01"));
    timeoutField->setText(QStringLiteral("0"));
    for (BitBoxes *boxes : {&alarmPortBoxes, &optionPortBoxes, &flagBoxes})
        boxes->clear();
    optionModeBox->setCurrentIndex(0);
    optionTriggerField->setText(QStringLiteral("0"));
    CommandCurrentPassSave_Click();
}

void PassTab::checkField(QLineEdit *field, bool good, const QString &text)
{
    field->setText(text);
    if (!good)
        m_dialogs.message(session::Msg::InvalidValue);
}

void PassTab::TextPassCurrentSysId_LostFocus()
{
    const auto check = Check_System_Id(systemIdField->text());
    checkField(systemIdField, check.good, check.text);
}

void PassTab::TextPassCurrentUserId_LostFocus()
{
    const auto check = Check_User_Id(userIdField->text());
    checkField(userIdField, check.good, check.text);
}

void PassTab::TextPassCurrentSignalTimeout_LostFocus()
{
    const auto check = Check_Signal_Timeout(timeoutField->text());
    checkField(timeoutField, check.good, check.text);
}

} // namespace halvo::app
