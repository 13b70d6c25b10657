#pragma once

#include <QAbstractListModel>
#include <QByteArray>

#include <vector>

namespace halvo::app {

// The received text lines as the list shows them, one entry per line. The lines
// are kept as the bytes they arrived as, end to end in one buffer with where each
// starts: a whole event log download (130,000 lines) costs little more than its
// own size. The list learns of new lines once per turn of the event loop, all that
// came in it at once, not line by line.
class ReceivedLines : public QAbstractListModel
{
public:
    using QAbstractListModel::QAbstractListModel;

    void append(const QByteArray &line);
    void clear();
    // The lines the list shows: all but those that came in this turn of the loop.
    int count() const { return m_shown; }
    QString line(int i) const;
    // The lines' own size, in bytes.
    qsizetype textSize() const { return m_text.size(); }

    int rowCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;

private:
    void showNewLines();

    QByteArray m_text;
    int m_shown = 0;
    bool m_showDue = false;
    std::vector<quint32> m_starts; // a whole event ring is some 8 MB: 32 bits hold it
};

} // namespace halvo::app
