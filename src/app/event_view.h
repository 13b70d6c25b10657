#pragma once

#include "event_line_filter.h"

#include <QTimer>
#include <QWidget>

class QCheckBox;
class QLabel;
class QLineEdit;
class QListView;

namespace halvo::app {

class OperatorDialogs;
class ReceivedLines;

// The event lines received in this run, to find what happened: a filter (words, or a
// regular expression), the count shown, the newest line kept in sight while lines
// arrive unless the operator has scrolled away or selected a line, Ctrl+C to copy
// the selected lines, and the lines shown exported in the event log file's form.
class EventView : public QWidget
{
    Q_OBJECT
public:
    EventView(const ReceivedLines &lines, OperatorDialogs &dialogs, QWidget *parent = nullptr);
    const EventLineFilter &filter() const { return m_filter; }
    bool following() const { return m_follow; }
    // The selected lines as text, one per line.
    QString selectedText() const;

public slots:
    void applyFilter();
    void copySelection();
    void CmdExportShownLines_Click();

private:
    void linesAdded();
    void scrolled();

    const ReceivedLines &m_lines;
    OperatorDialogs &m_dialogs;
    EventLineFilter m_filter;
    QLineEdit *filterField = nullptr;
    QCheckBox *regexBox = nullptr;
    QLabel *filterError = nullptr;
    QLabel *countCaption = nullptr;
    QListView *lineList = nullptr;
    QTimer m_toEnd;
    bool m_follow = true;
    bool m_scrolling = false; // the view moves itself to the end
};

} // namespace halvo::app
