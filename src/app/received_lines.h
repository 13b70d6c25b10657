#pragma once

#include <QAbstractListModel>
#include <QByteArray>

#include <vector>

namespace halvo::app {

// The received text lines as the list shows them, one entry per line. The lines
// are kept as the bytes they arrived as, end to end in one buffer with where each
// starts: a whole event log download (130,000 lines) costs little more than its
// own size.
class ReceivedLines : public QAbstractListModel
{
public:
    using QAbstractListModel::QAbstractListModel;

    void append(const QByteArray &line);
    void clear();
    int count() const { return static_cast<int>(m_starts.size()); }
    QString line(int i) const;
    QByteArray bytes(int i) const;
    // The lines' own size, in bytes.
    qsizetype textSize() const { return m_text.size(); }

    int rowCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;

private:
    QByteArray m_text;
    std::vector<quint32> m_starts; // a whole event ring is some 8 MB: 32 bits hold it
};

} // namespace halvo::app
