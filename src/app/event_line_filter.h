#pragma once

#include <QAbstractListModel>
#include <QRegularExpression>
#include <QStringList>
#include <QTimer>

#include <vector>

namespace halvo::app {

class ReceivedLines;

// The event lines a filter keeps, as a list over the received lines themselves: no
// line is copied; a filter's result is the row numbers it keeps, four bytes a line.
// Words keep the lines that hold every one of them, in any case; a regular
// expression keeps the lines it matches. A new filter runs over the lines a slice at
// a time, the window live between slices; the list shows the last result until the
// new one is whole. Lines that arrive are tested as they come.
class EventLineFilter : public QAbstractListModel
{
    Q_OBJECT
public:
    explicit EventLineFilter(const ReceivedLines &lines, QObject *parent = nullptr);

    // Empty text: every line. What is wrong with an expression, or nothing.
    QString setFilter(const QString &text, bool regularExpression);
    bool filtering() const { return m_active; }
    bool busy() const { return m_scanning; }
    int shown() const;
    // "1200 lines", "37 of 1200 lines".
    QString countText() const;
    // The received line a row shows.
    int lineAt(int row) const;

    int rowCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;

signals:
    void countChanged();

private:
    bool matches(int line) const;
    void scanSlice();
    void takeNewLines();
    void linesReset();

    const ReceivedLines &m_lines;
    bool m_active = false;
    QStringList m_words;
    QRegularExpression m_expression;
    bool m_useExpression = false;
    std::vector<quint32> m_rows; // shown lines while filtering
    std::vector<quint32> m_next; // a new filter's result, being built
    int m_scanned = 0;
    bool m_scanning = false;
    int m_taken = 0; // lines the list has been told of
    QTimer m_slice;
    QTimer m_newLines;
};

} // namespace halvo::app
