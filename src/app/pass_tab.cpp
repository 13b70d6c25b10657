#include "pass_tab.h"

#include "change_marks.h"
#include "config/configuration.h"
#include "operator_dialogs.h"
#include "session/messages.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace halvo::app {

using namespace passes;
using ui::indexed;
using ui::named;
using ui::px;

namespace {
// Check boxes from a bit text: each "1" checks the box of the bit its position
// stands for, every other character clears it.
template <size_t N> void checksFromBitText(const QString &text, std::array<QCheckBox *, N> &boxes)
{
    int bit = static_cast<int>(N) - 1;
    for (int pos = 0; bit >= 0; ++pos) {
        if (pos % 5 == 4)
            continue;
        boxes[static_cast<size_t>(bit)]->setChecked(pos < text.size() && text.at(pos) == QLatin1Char('1'));
        --bit;
    }
}

template <size_t N> QString bitTextFromChecks(const std::array<QCheckBox *, N> &boxes)
{
    unsigned v = 0;
    for (size_t k = 0; k < N; ++k)
        if (boxes[k]->isChecked())
            v |= 1u << k;
    return N == 8 ? Bit_Text_8(static_cast<quint8>(v)) : Bit_Text_16(static_cast<quint16>(v));
}
} // namespace

PassTab::PassTab(const TabContext &context, QWidget *parent)
    : TabPage(context, parent), m_passCount(PassCount)
{
    auto *v = new QVBoxLayout(this);
    auto *tableFrame = new QGroupBox;
    auto *tv = new QVBoxLayout(tableFrame);
    passList = named(new QTreeWidget, QStringLiteral("ListView1"), QStringLiteral("Pass table"));
    passList->setRootIsDecorated(false);
    passList->setUniformRowHeights(true);
    passList->setAllColumnsShowFocus(true);
    passList->setEditTriggers(QAbstractItemView::NoEditTriggers);
    passList->setMinimumHeight(px(2850));
    passList->setColumnCount(ColumnCount);
    passList->setHeaderLabels(Column_Headers());
    passList->setMinimumWidth(px(14100) - 40);
    QList<QTreeWidgetItem *> rows;
    for (int r = 1; r <= PassCount; ++r) {
        auto *item = new QTreeWidgetItem;
        item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
        item->setCheckState(0, Qt::Unchecked);
        rows.append(item);
    }
    passList->addTopLevelItems(rows);
    tv->addWidget(passList);
    connect(passList, &QTreeWidget::itemClicked, this,
            [this](QTreeWidgetItem *item) { ListView1_ItemClick(item); });
    v->addWidget(tableFrame, 1);

    auto *editor =
        named(new QGroupBox(QStringLiteral("Current Pass Index#")), QStringLiteral("FrameCurrentRecord"));
    buildEditor(editor);
    v->addWidget(editor);

    showConfiguration();
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
    auto portRow = [&](std::array<QCheckBox *, 16> &boxes, const char *name, const QString &what) {
        auto *h = new QHBoxLayout;
        h->setSpacing(0);
        for (int k = 15; k >= 0; --k) {
            auto *c = named(new QCheckBox, indexed(name, k), QStringLiteral("%1 port %2").arg(what).arg(k));
            c->setToolTip(QStringLiteral("Port %1").arg(k));
            boxes[static_cast<size_t>(k)] = c;
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
        flagBoxes[static_cast<size_t>(k)] = c;
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

void PassTab::showConfiguration()
{
    for (int r = 1; r <= PassCount; ++r)
        showRow(r);
}

void PassTab::showRow(int row)
{
    QTreeWidgetItem *item = passList->topLevelItem(row - 1);
    const PassRow &texts = m_config.passRow(row);
    for (int c = 0; c < ColumnCount; ++c)
        if (item->text(c) != texts[static_cast<size_t>(c)])
            item->setText(c, texts[static_cast<size_t>(c)]);
}

void PassTab::showMarks(const config::Configuration &image,
                        const std::vector<config::Difference> &differences)
{
    m_image = &image;
    std::set<std::pair<int, int>> now;
    for (const config::Difference &d : differences)
        if (d.item == config::Item::Pass)
            now.insert({d.index, d.column});
    std::set<std::pair<int, int>> touched = now;
    touched.insert(m_marked.begin(), m_marked.end());
    for (const auto &[row, column] : touched) {
        const bool changed = now.count({row, column}) > 0;
        marks::Mark(passList->topLevelItem(row - 1), column,
                    changed ? std::optional<QString>(image.passRow(row)[static_cast<size_t>(column)])
                            : std::nullopt,
                    passList->palette());
    }
    m_marked = std::move(now);
    showEditorMarks();
}

void PassTab::showEditorMarks()
{
    const int row = indexCaption->text().toInt();
    const bool shown = m_image && row >= 1 && row <= PassCount;
    auto unitText = [&](int column) -> std::optional<QString> {
        if (!shown || !m_marked.count({row, column}))
            return std::nullopt;
        return m_image->passRow(row)[static_cast<size_t>(column)];
    };
    const std::pair<QWidget *, int> fields[] = {
        {userNameField, ColUserName},       {systemIdField, ColSystemId},
        {userIdField, ColUserId},           {timeoutField, ColSignalTimeout},
        {optionModeBox, ColOptionModeName}, {optionTriggerField, ColOptionTrigger}};
    for (const auto &[control, column] : fields)
        marks::Mark(control, unitText(column));
    // A port or flag box is marked when its own bit differs from the unit's.
    auto markBits = [&](auto &boxes, int column) {
        const int n = static_cast<int>(boxes.size());
        auto bits = [&](const PassRow &r) -> unsigned {
            const QString &t = r[static_cast<size_t>(column)];
            return n == 8 ? Bits_From_Text_8(t).value_or(0) : Bits_From_Text_16(t).value_or(0);
        };
        const unsigned ours = shown ? bits(m_config.passRow(row)) : 0,
                       theirs = shown ? bits(m_image->passRow(row)) : 0;
        for (int k = 0; k < n; ++k) {
            const bool differs = shown && ((ours ^ theirs) >> k & 1u);
            marks::Mark(boxes[static_cast<size_t>(k)],
                        differs ? std::optional<QString>(theirs >> k & 1u ? QStringLiteral("on")
                                                                          : QStringLiteral("off"))
                                : std::nullopt);
        }
    };
    markBits(alarmPortBoxes, ColAlarmSteering);
    markBits(optionPortBoxes, ColOptionSteering);
    markBits(flagBoxes, ColOptionFlags);
}

void PassTab::selectOptionMode(int mode)
{
    optionModeBox->setCurrentIndex(mode);
}

// ---------------------------------------------------------------- the editor

void PassTab::ListView1_ItemClick(QTreeWidgetItem *item)
{
    const int row = item ? passList->indexOfTopLevelItem(item) + 1 : 0;
    if (row < 1)
        return;
    const PassRow &r = m_config.passRow(row);
    indexCaption->setText(r[ColIndex]);
    userNameField->setText(r[ColUserName]);
    systemIdField->setText(r[ColSystemId]);
    userIdField->setText(r[ColUserId]);
    timeoutField->setText(r[ColSignalTimeout]);
    checksFromBitText(r[ColAlarmSteering], alarmPortBoxes);
    // A mode outside the list (a damaged row) leaves the box as it is; the rest of
    // the row still loads.
    bool ok = false;
    const int mode = r[ColOptionMode].toInt(&ok);
    if (ok && mode >= 0 && mode < optionModeBox->count())
        optionModeBox->setCurrentIndex(mode);
    optionTriggerField->setText(r[ColOptionTrigger]);
    checksFromBitText(r[ColOptionSteering], optionPortBoxes);
    checksFromBitText(r[ColOptionFlags], flagBoxes);
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
    r[ColAlarmSteering] = bitTextFromChecks(alarmPortBoxes);
    const int mode = std::max(0, optionModeBox->currentIndex());
    r[ColOptionMode] = QString::number(mode);
    r[ColOptionModeName] = Option_Mode_Names().at(mode);
    r[ColOptionTrigger] = optionTriggerField->text();
    r[ColOptionSteering] = bitTextFromChecks(optionPortBoxes);
    r[ColOptionFlags] = bitTextFromChecks(flagBoxes);
    m_config.setPassRow(row, r);
    showRow(row);
}

void PassTab::CommandCurrentPassSave_Click()
{
    Write_Editor_Into_Row(indexCaption->text().toInt());
    emit edited();
}

void PassTab::CommandLoadAllPasses_Click()
{
    for (int row = 1; row <= m_passCount; ++row)
        Write_Editor_Into_Row(row);
    emit edited();
}

void PassTab::CommandSetSelectedPasses_Click()
{
    for (int row = 1; row <= m_passCount; ++row) {
        QTreeWidgetItem *item = passList->topLevelItem(row - 1);
        if (item->checkState(0) == Qt::Checked) {
            item->setCheckState(0, Qt::Unchecked);
            Write_Editor_Into_Row(row);
        }
    }
    emit edited();
}

void PassTab::CommandCurrentPassClear_Click()
{
    userNameField->setText(QString(16, QLatin1Char(' ')));
    systemIdField->setText(QStringLiteral("01"));
    userIdField->setText(QStringLiteral("01"));
    timeoutField->setText(QStringLiteral("0"));
    for (auto *boxes : {&alarmPortBoxes, &optionPortBoxes})
        for (QCheckBox *c : *boxes)
            c->setChecked(false);
    for (QCheckBox *c : flagBoxes)
        c->setChecked(false);
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
