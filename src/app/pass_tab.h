#pragma once

#include "bit_boxes.h"
#include "config/configuration.h"
#include "config/configuration_notifier.h"
#include "tab_page.h"

#include <array>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QModelIndex;
class QTreeView;

namespace halvo::app {

class PassTableModel;

// "Pass Device Configuration ": the pass table and the pass editor. The operator
// clicks a row to load it into the editor, edits, and writes the editor into one
// row (SAVE), the checked rows (Set Selected) or every row (Set All).
class PassTab : public TabPage
{
    Q_OBJECT
public:
    explicit PassTab(const TabContext &context, QWidget *parent = nullptr);
    // The row the editor shows and SAVE writes (1..72).
    int currentRow() const { return m_currentRow; }
    // Whole-table operations cover this many rows: 32 while a "Halvo ST" store runs.
    int passCount() const { return m_passCount; }
    void setPassCount(int count) { m_passCount = count; }

public slots:
    void ListView1_ItemClick(const QModelIndex &index);
    void CommandCurrentPassSave_Click();
    void CommandCurrentPassClear_Click();
    void CommandSetSelectedPasses_Click();
    void CommandLoadAllPasses_Click();
    void TextPassCurrentSysId_LostFocus();
    void TextPassCurrentUserId_LostFocus();
    void TextPassCurrentSignalTimeout_LostFocus();

private:
    void buildEditor(QWidget *frame);
    void onConfigurationChanged(const config::Change &change);
    void Write_Editor_Into_Row(int row);
    void checkField(QLineEdit *field, bool good, const QString &text);
    // The editor's controls are marked while it shows a row that differs from the unit's.
    void showEditorMarks();

    int m_currentRow = 1;
    int m_passCount = config::PassCount;
    PassTableModel *m_table = nullptr;
    QTreeView *passList = nullptr;
    QLabel *indexCaption = nullptr;
    QLineEdit *userNameField = nullptr;
    QLineEdit *systemIdField = nullptr;
    QLineEdit *userIdField = nullptr;
    QLineEdit *timeoutField = nullptr;
    BitBoxes alarmPortBoxes{16};
    QComboBox *optionModeBox = nullptr;
    QLineEdit *optionTriggerField = nullptr;
    BitBoxes optionPortBoxes{16};
    BitBoxes flagBoxes{8};
};

} // namespace halvo::app
