#pragma once

#include "tab_page.h"

#include <array>
#include <set>
#include <utility>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;

namespace halvo::app {

// "Pass Device Configuration ": the pass table and the pass editor. The operator
// clicks a row to load it into the editor, edits, and writes the editor into one
// row (SAVE), the checked rows (Set Selected) or every row (Set All).
class PassTab : public TabPage
{
    Q_OBJECT
public:
    explicit PassTab(const TabContext &context, QWidget *parent = nullptr);

    void showConfiguration() override;
    void showMarks(const config::Configuration &image,
                   const std::vector<config::Difference> &differences) override;
    void showRow(int row);
    // The option mode box follows the last pass record from the unit or a file.
    void selectOptionMode(int mode);
    // Whole-table operations cover this many rows: 32 while a "Halvo ST" store runs.
    int passCount() const { return m_passCount; }
    void setPassCount(int count) { m_passCount = count; }

public slots:
    void ListView1_ItemClick(QTreeWidgetItem *item);
    void CommandCurrentPassSave_Click();
    void CommandCurrentPassClear_Click();
    void CommandSetSelectedPasses_Click();
    void CommandLoadAllPasses_Click();
    void TextPassCurrentSysId_LostFocus();
    void TextPassCurrentUserId_LostFocus();
    void TextPassCurrentSignalTimeout_LostFocus();

private:
    void buildEditor(QWidget *frame);
    void Write_Editor_Into_Row(int row);
    void checkField(QLineEdit *field, bool good, const QString &text);
    // The editor's controls are marked while it shows a row that differs from the unit's.
    void showEditorMarks();

    int m_passCount;
    const config::Configuration *m_image = nullptr;
    std::set<std::pair<int, int>> m_marked; // (row, column) cells that differ from the unit
    QTreeWidget *passList = nullptr;
    QLabel *indexCaption = nullptr;
    QLineEdit *userNameField = nullptr;
    QLineEdit *systemIdField = nullptr;
    QLineEdit *userIdField = nullptr;
    QLineEdit *timeoutField = nullptr;
    std::array<QCheckBox *, 16> alarmPortBoxes{};
    QComboBox *optionModeBox = nullptr;
    QLineEdit *optionTriggerField = nullptr;
    std::array<QCheckBox *, 16> optionPortBoxes{};
    std::array<QCheckBox *, 8> flagBoxes{};
};

} // namespace halvo::app
