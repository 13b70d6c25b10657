// FormMain: the pass table, its read and store, the pass editor, and the read and
// store buttons that act on the visible tab.
#include "formmain.h"

#include "link/frame.h"
#include "link/serial_link.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QTabWidget>
#include <QTreeWidget>

namespace halvo::app {

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

// The settings, location and event log pointer decoders come with their own tabs;
// until then their replies are taken and left alone.
bool FormMain::Decode_Event_Log_Pointer(const QByteArray &)
{
    return true;
}

bool FormMain::Decode_Location_Reply(const QByteArray &)
{
    return true;
}

bool FormMain::Decode_Settings_Page(const QByteArray &)
{
    return true;
}

// ---------------------------------------------------------------- read and store

void FormMain::Command_Read_Config_Click()
{
    if (!Ensure_Port_Open())
        return;
    quint8 code = 0;
    switch (SSTab1->currentIndex()) {
    case 0:
        code = link::Cmd::ReadPassTable;
        break;
    default:
        // The settings and location tabs are read by their own change; the event
        // recorder tab has nothing to read here.
        return;
    }
    if (!Write_Frame(link::Build_Short_Request(code)))
        reportSendFailure();
}

void FormMain::Command_Store_Config_Click()
{
    if (!Ensure_Port_Open())
        return;
    switch (SSTab1->currentIndex()) {
    case 0:
        Store_Pass_Data();
        break;
    default:
        break;
    }
}

// Sends the pass table as one pass store frame per row, paced, behind the progress
// bar. The unit does not answer; the window stays live between frames.
void FormMain::Store_Pass_Data()
{
    if (!MSComm1->isOpen() || m_storing) {
        if (!m_storing)
            FrameSavingData->hide();
        return;
    }
    m_storing = true;
    m_passCount = CheckHalvoType->isChecked() ? passes::HalvoStPassCount : passes::PassCount;
    const int count = m_passCount;
    ProgressBarSavingData->setRange(0, count);
    ProgressBarSavingData->setValue(0);
    FrameSavingData->show();
    bool failed = false;
    for (int index = 0; index < count && !m_closing; ++index) {
        ProgressBarSavingData->setValue(index);
        const auto frame = passes::Build_Pass_Frame(index, passRow(index + 1));
        if (!frame || !Write_Frame(*frame)) {
            failed = true;
            break;
        }
        Pause(m_timing.passFramePause);
    }
    m_passCount = passes::PassCount;
    FrameSavingData->hide();
    m_storing = false;
    if (failed)
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
