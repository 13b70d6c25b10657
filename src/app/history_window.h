#pragma once

#include "history_models.h"
#include "records/unit_records.h"

#include <QDialog>

#include <functional>
#include <memory>

class QComboBox;
class QLabel;
class QPushButton;
class QTableView;

namespace halvo::app {

// "Unit History": the versions of a unit in the records, newest first, and what one
// changed from the version before it, or two from each other. A version can be loaded
// into the window as changes against the unit, or printed as its sheet.
class HistoryWindow : public QDialog
{
    Q_OBJECT
public:
    struct Actions
    {
        std::function<void(const records::UnitVersion &, const records::Version &)> load, print;
    };
    // The records in folder, showing unit (its folder) or else the first unit.
    HistoryWindow(std::unique_ptr<records::Repository> repository, const QString &unit, Actions actions,
                  QWidget *parent = nullptr);
    ~HistoryWindow() override;

    void showUnit(const QString &unit);
    QString unit() const;
    VersionsModel &versions() { return m_versions; }
    DifferencesModel &differences() { return m_differences; }

public slots:
    void CommandLoadVersion_Click();
    void CommandPrintVersion_Click();

private:
    void selectionChanged();
    std::optional<records::UnitVersion> chosen(records::Version *version) const;

    std::unique_ptr<records::Repository> m_repository;
    records::UnitRecords m_records;
    Actions m_actions;
    VersionsModel m_versions;
    DifferencesModel m_differences;
    QComboBox *unitBox = nullptr;
    QTableView *versionList = nullptr;
    QTableView *differenceList = nullptr;
    QLabel *differenceLine = nullptr;
    QPushButton *loadButton = nullptr;
    QPushButton *printButton = nullptr;
};

} // namespace halvo::app
