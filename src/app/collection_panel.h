#pragma once

#include <QWidget>

#include <functional>

class QCheckBox;
class QLabel;
class QLineEdit;

namespace halvo::session {
class UnitSession;
}

namespace halvo::app {

class OperatorDialogs;

// "Collect new events every [15] minutes" on the event recorder tab: while the port
// is open and the box is ticked, new events go into the unit's archive once a period.
// The choice is the collection's, kept for each unit by the session. The line below says when the next
// collection is and how the last one went; a failure is said there each time and in a message only the first
// time in a row, so an unattended PC gathers no pile of messages.
class CollectionPanel : public QWidget
{
    Q_OBJECT
public:
    // firstPages: the page count a first download of a new archive reads.
    CollectionPanel(session::UnitSession &session, OperatorDialogs &dialogs, std::function<int()> firstPages,
                    QWidget *parent = nullptr);

public slots:
    void CheckCollectEvents_Click();
    void TxtCollectMinutes_LostFocus();

private:
    bool haveArchive();
    void askForArchive(const QString &gone);
    void show();

    session::UnitSession &m_session;
    OperatorDialogs &m_dialogs;
    QCheckBox *collectBox = nullptr;
    QLineEdit *minutesField = nullptr;
    QLabel *collectionLine = nullptr;
    QString m_last; // how the last collection went
};

} // namespace halvo::app
