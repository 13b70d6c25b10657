#pragma once

#include <QObject>
#include <QPointer>

#include <memory>

class QAction;
class QLabel;
class QMenu;
class QWidget;

namespace halvo::config {
class Configuration;
enum class Part;
} // namespace halvo::config
namespace halvo::recorder {
class UnitRecorder;
}
namespace halvo::records {
struct UnitVersion;
struct Version;
} // namespace halvo::records
namespace halvo::session {
class UnitSession;
}

namespace halvo::app {

class HistoryWindow;
class OperatorDialogs;

// The records in the window: each checked read and store becomes a version of the
// unit (said on the line beside STORE), File > "Unit History..." shows them, and the
// Options menu says where they are kept and whether they are.
class RecordsMenu : public QObject
{
    Q_OBJECT
public:
    RecordsMenu(QMenu *file, QMenu *options, session::UnitSession &session, config::Configuration &config,
                OperatorDialogs &dialogs, QLabel *line, QWidget *window);
    ~RecordsMenu() override;

    recorder::UnitRecorder &recorder() { return *m_recorder; }
    // The history window, when it is open.
    HistoryWindow *history() const;

    // Offers "Who Changed This?" on the window's fields: the pass table's rows, each
    // setting and each location name.
    void offerWhoChanged(QWidget *window);

public slots:
    void Menu_Unit_History_Click();
    // Names the version of the connected unit that last changed a field's item
    // (a pass row, a parameter, a location slot), and who made it when.
    void whoChanged(config::Part part, int index);
    void Menu_Records_Folder_Click();
    void Menu_Keep_Records_Click(bool on);
    void Menu_Share_Records_Click();
    void Menu_Sync_Records_Click();

private:
    class Questions;
    void load(const records::UnitVersion &content, const records::Version &version);
    void print(const records::UnitVersion &content, const records::Version &version);
    QString connectedUnit() const;

    session::UnitSession &m_session;
    config::Configuration &m_config;
    OperatorDialogs &m_dialogs;
    QLabel *m_line;
    QWidget *m_window;
    std::unique_ptr<Questions> m_questions;
    std::unique_ptr<recorder::UnitRecorder> m_recorder;
    QAction *m_keep = nullptr;
    QString m_lastRecorded; // the line's first half, while a sync says the rest
    QPointer<HistoryWindow> m_history;
};

} // namespace halvo::app
