// FormMain, pass tab: the pass table, its replies and store, and the pass editor.
#include "formmain.h"

#include "link/serial_link.h"
#include "ui_helpers.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTabWidget>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace halvo::app {

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
        const bool on = pos < text.size() && text.at(pos) == QLatin1Char('1');
        boxes[static_cast<size_t>(bit)]->setChecked(on);
        --bit;
    }
}

template <size_t N> QString bitTextFromChecks(const std::array<QCheckBox *, N> &boxes)
{
    unsigned v = 0;
    for (size_t k = 0; k < N; ++k)
        if (boxes[k]->checkState() == Qt::Checked)
            v |= 1u << k;
    return N == 8 ? passes::Bit_Text_8(static_cast<quint8>(v)) : passes::Bit_Text_16(static_cast<quint16>(v));
}
} // namespace

// ---------------------------------------------------------------- widgets

QWidget *FormMain::buildPassTab()
{
    auto *tab = new QWidget;
    auto *v = new QVBoxLayout(tab);

    auto *tableFrame = new QGroupBox;
    auto *tv = new QVBoxLayout(tableFrame);
    ListView1 = named(new QTreeWidget, QStringLiteral("ListView1"), QStringLiteral("Pass table"));
    ListView1->setRootIsDecorated(false);
    ListView1->setUniformRowHeights(true);
    ListView1->setAllColumnsShowFocus(true);
    ListView1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    ListView1->setMinimumHeight(px(2850));
    tv->addWidget(ListView1);
    connect(ListView1, &QTreeWidget::itemClicked, this,
            [this](QTreeWidgetItem *item, int) { ListView1_ItemClick(item); });
    v->addWidget(tableFrame, 1);

    FrameCurrentRecord =
        named(new QGroupBox(QStringLiteral("Current Pass Index#")), QStringLiteral("FrameCurrentRecord"));
    auto *ed = new QHBoxLayout(FrameCurrentRecord);

    // Index and the four text fields.
    auto *fields = new QGridLayout;
    LabelCurrentPassIndex =
        ui::describes(named(new QLabel(QStringLiteral("01")), QStringLiteral("LabelCurrentPassIndex")),
                      QStringLiteral("Current pass index"));
    QFont bold = LabelCurrentPassIndex->font();
    bold.setBold(true);
    bold.setPointSize(12);
    LabelCurrentPassIndex->setFont(bold);
    fields->addWidget(LabelCurrentPassIndex, 0, 0, 1, 2);
    auto field = [&](int r, const QString &label, const QString &name, const QString &text) {
        auto *e = named(new QLineEdit(text), name, label);
        auto *l = new QLabel(label);
        l->setBuddy(e);
        fields->addWidget(l, r, 0);
        fields->addWidget(e, r, 1);
        return e;
    };
    TextCurrentPassUsername =
        field(1, QStringLiteral("Username 16-Characters"), QStringLiteral("TextCurrentPassUsername"),
              QStringLiteral("Username Pass X"));
    TextPassCurrentSysId = field(2, QStringLiteral("SYS ID 01-FE"), QStringLiteral("TextPassCurrentSysId"),
                                 QStringLiteral("F0"));
    TextPassCurrentUserId = field(3, QStringLiteral("USER ID 01-99"), QStringLiteral("TextPassCurrentUserId"),
                                  QStringLiteral("01"));
    TextPassCurrentSignalTimeout = field(4, QStringLiteral("Signal Timeout"),
                                         QStringLiteral("TextPassCurrentSignalTimeout"), QStringLiteral("0"));
    onFocusLost(TextPassCurrentSysId, [this] { TextPassCurrentSysId_LostFocus(); });
    onFocusLost(TextPassCurrentUserId, [this] { TextPassCurrentUserId_LostFocus(); });
    onFocusLost(TextPassCurrentSignalTimeout, [this] { TextPassCurrentSignalTimeout_LostFocus(); });
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
    alarmFrame->setLayout(portRow(CheckCurrentPassAlarmPortSteering, "CheckCurrentPassAlarmPortSteering",
                                  QStringLiteral("Port Steering On Alarm")));
    ports->addWidget(alarmFrame);
    auto *optionFrame = new QGroupBox(QStringLiteral("Port Steering on Option"));
    auto *of = new QVBoxLayout(optionFrame);
    auto *ofTop = new QHBoxLayout;
    ComboOptionCurrentPassAlarmPortSteering =
        named(new QComboBox, QStringLiteral("ComboOptionCurrentPassAlarmPortSteering"),
              QStringLiteral("Option mode"));
    TextCurrentPassOptionPortSteering =
        named(new QLineEdit(QStringLiteral("0")), QStringLiteral("TextCurrentPassOptionPortSteering"),
              QStringLiteral("Option trigger"));
    TextCurrentPassOptionPortSteering->setMaximumWidth(60);
    ofTop->addWidget(ComboOptionCurrentPassAlarmPortSteering, 1);
    ofTop->addWidget(TextCurrentPassOptionPortSteering);
    of->addLayout(ofTop);
    of->addLayout(portRow(CheckCurrentPassOptionPortSteering, "CheckCurrentPassOptionPortSteering",
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
        LabelCurrentPassOption[static_cast<size_t>(k)] = l;
        CheckCurrentPassOption[static_cast<size_t>(k)] = c;
        fg->addWidget(l, k % 4, (k / 4) * 2);
        fg->addWidget(c, k % 4, (k / 4) * 2 + 1);
    }
    ed->addWidget(flagsFrame);

    auto *buttons = new QVBoxLayout;
    auto button = [&](const QString &text, const QString &name) {
        auto *b = named(new QPushButton(text), name);
        buttons->addWidget(b);
        return b;
    };
    CommandCurrentPassSave = button(QStringLiteral("SAVE"), QStringLiteral("CommandCurrentPassSave"));
    CommandCurrentPassClear = button(QStringLiteral("CLEAR"), QStringLiteral("CommandCurrentPassClear"));
    CommandSetSelectedPasses =
        button(QStringLiteral("Set Selected"), QStringLiteral("CommandSetSelectedPasses"));
    CommandLoadAllPasses = button(QStringLiteral("Set All"), QStringLiteral("CommandLoadAllPasses"));
    connect(CommandCurrentPassSave, &QPushButton::clicked, this, &FormMain::CommandCurrentPassSave_Click);
    connect(CommandCurrentPassClear, &QPushButton::clicked, this, &FormMain::CommandCurrentPassClear_Click);
    connect(CommandSetSelectedPasses, &QPushButton::clicked, this, &FormMain::CommandSetSelectedPasses_Click);
    connect(CommandLoadAllPasses, &QPushButton::clicked, this, &FormMain::CommandLoadAllPasses_Click);
    ed->addLayout(buttons);

    v->addWidget(FrameCurrentRecord);
    return tab;
}

// ---------------------------------------------------------------- pass table

QString FormMain::passCell(int row, int column) const
{
    const QTreeWidgetItem *item = ListView1->topLevelItem(row - 1);
    return item ? item->text(column) : QString();
}

passes::PassRow FormMain::passRow(int row) const
{
    passes::PassRow r;
    for (int c = 0; c < passes::ColumnCount; ++c)
        r[static_cast<size_t>(c)] = passCell(row, c);
    return r;
}

void FormMain::setPassRow(int row, const passes::PassRow &texts)
{
    if (QTreeWidgetItem *item = ListView1->topLevelItem(row - 1))
        for (int c = 0; c < passes::ColumnCount; ++c)
            item->setText(c, texts[static_cast<size_t>(c)]);
}

bool FormMain::isPassRowChecked(int row) const
{
    const QTreeWidgetItem *item = ListView1->topLevelItem(row - 1);
    return item && item->checkState(0) == Qt::Checked;
}

void FormMain::setPassRowChecked(int row, bool checked)
{
    if (QTreeWidgetItem *item = ListView1->topLevelItem(row - 1))
        item->setCheckState(0, checked ? Qt::Checked : Qt::Unchecked);
}

// One pass record reply rewrites one row. The reply is checked whole first, so a
// reply that cannot be placed leaves its row untouched.
bool FormMain::Decode_Pass_Record(const QByteArray &reply)
{
    const auto decoded = passes::Decode_Pass_Record(reply);
    if (!decoded)
        return false;
    QTreeWidgetItem *item = ListView1->topLevelItem(decoded->row - 1);
    if (!item)
        return false;
    for (int c : passes::DecodedColumns)
        item->setText(c, decoded->columns[static_cast<size_t>(c)]);
    ComboOptionCurrentPassAlarmPortSteering->setCurrentIndex(decoded->optionMode);
    return true;
}

// Sends the pass table as one pass store frame per row, paced, behind the progress
// bar. The unit does not answer; the window stays live between frames.
void FormMain::Store_Pass_Data()
{
    if (!storeCanStart())
        return;
    m_passCount = CheckHalvoType->isChecked() ? passes::HalvoStPassCount : passes::PassCount;
    const auto outcome = Paced_Store(m_passCount, m_timing.passFramePause, [this](int index) {
        return passes::Build_Pass_Frame(index, passRow(index + 1));
    });
    m_passCount = passes::PassCount;
    if (outcome == StoreOutcome::Failed)
        reportSendFailure();
}

// ---------------------------------------------------------------- pass editor

void FormMain::ListView1_ItemClick(QTreeWidgetItem *item)
{
    if (!item)
        return;
    bool ok = false;
    const int row = item->text(passes::ColIndex).toInt(&ok);
    if (!ok || !ListView1->topLevelItem(row - 1))
        return;
    LabelCurrentPassIndex->setText(item->text(passes::ColIndex));
    TextCurrentPassUsername->setText(item->text(passes::ColUserName));
    TextPassCurrentSysId->setText(item->text(passes::ColSystemId));
    TextPassCurrentUserId->setText(item->text(passes::ColUserId));
    TextPassCurrentSignalTimeout->setText(item->text(passes::ColSignalTimeout));
    checksFromBitText(item->text(passes::ColAlarmSteering), CheckCurrentPassAlarmPortSteering);
    // A mode outside the list (a damaged row) leaves the combo box as it is; the
    // rest of the row still loads.
    const int mode = item->text(passes::ColOptionMode).toInt(&ok);
    if (ok && mode >= 0 && mode < ComboOptionCurrentPassAlarmPortSteering->count())
        ComboOptionCurrentPassAlarmPortSteering->setCurrentIndex(mode);
    TextCurrentPassOptionPortSteering->setText(item->text(passes::ColOptionTrigger));
    checksFromBitText(item->text(passes::ColOptionSteering), CheckCurrentPassOptionPortSteering);
    checksFromBitText(item->text(passes::ColOptionFlags), CheckCurrentPassOption);
}

void FormMain::Write_Editor_Into_Row(int row)
{
    QTreeWidgetItem *item = ListView1->topLevelItem(row - 1);
    if (!item)
        return;
    const QString name = passes::Normalise_User_Name(TextCurrentPassUsername->text());
    TextCurrentPassUsername->setText(name);
    item->setText(passes::ColUserName, name);
    item->setText(passes::ColSystemId, TextPassCurrentSysId->text());
    item->setText(passes::ColUserId, TextPassCurrentUserId->text());
    item->setText(passes::ColSignalTimeout, TextPassCurrentSignalTimeout->text());
    item->setText(passes::ColAlarmSteering, bitTextFromChecks(CheckCurrentPassAlarmPortSteering));
    const int mode = std::max(0, ComboOptionCurrentPassAlarmPortSteering->currentIndex());
    item->setText(passes::ColOptionMode, QString::number(mode));
    item->setText(passes::ColOptionModeName, passes::Option_Mode_Names().at(mode));
    item->setText(passes::ColOptionTrigger, TextCurrentPassOptionPortSteering->text());
    item->setText(passes::ColOptionSteering, bitTextFromChecks(CheckCurrentPassOptionPortSteering));
    item->setText(passes::ColOptionFlags, bitTextFromChecks(CheckCurrentPassOption));
}

void FormMain::CommandCurrentPassSave_Click()
{
    Write_Editor_Into_Row(LabelCurrentPassIndex->text().toInt());
}

void FormMain::CommandLoadAllPasses_Click()
{
    for (int row = 1; row <= m_passCount; ++row)
        Write_Editor_Into_Row(row);
}

void FormMain::CommandSetSelectedPasses_Click()
{
    for (int row = 1; row <= m_passCount; ++row) {
        if (isPassRowChecked(row)) {
            setPassRowChecked(row, false);
            Write_Editor_Into_Row(row);
        }
    }
}

void FormMain::CommandCurrentPassClear_Click()
{
    TextCurrentPassUsername->setText(QString(16, QLatin1Char(' ')));
    TextPassCurrentSysId->setText(QStringLiteral("01"));
    TextPassCurrentUserId->setText(QStringLiteral("01"));
    TextPassCurrentSignalTimeout->setText(QStringLiteral("0"));
    for (auto *boxes : {&CheckCurrentPassAlarmPortSteering, &CheckCurrentPassOptionPortSteering})
        for (QCheckBox *c : *boxes)
            c->setChecked(false);
    for (QCheckBox *c : CheckCurrentPassOption)
        c->setChecked(false);
    ComboOptionCurrentPassAlarmPortSteering->setCurrentIndex(0);
    TextCurrentPassOptionPortSteering->setText(QStringLiteral("0"));
    CommandCurrentPassSave_Click();
}

void FormMain::TextPassCurrentSysId_LostFocus()
{
    const auto check = passes::Check_System_Id(TextPassCurrentSysId->text());
    TextPassCurrentSysId->setText(check.text);
    if (!check.good)
        tell(Msg::InvalidValue);
}

void FormMain::TextPassCurrentUserId_LostFocus()
{
    const auto check = passes::Check_User_Id(TextPassCurrentUserId->text());
    TextPassCurrentUserId->setText(check.text);
    if (!check.good)
        tell(Msg::InvalidValue);
}

void FormMain::TextPassCurrentSignalTimeout_LostFocus()
{
    const auto check = passes::Check_Signal_Timeout(TextPassCurrentSignalTimeout->text());
    TextPassCurrentSignalTimeout->setText(check.text);
    if (!check.good)
        tell(Msg::InvalidValue);
}

} // namespace halvo::app
