#include "received_lines.h"

namespace halvo::app {

void ReceivedLines::append(const QByteArray &line)
{
    const int row = count();
    beginInsertRows({}, row, row);
    m_starts.push_back(static_cast<quint32>(m_text.size()));
    m_text.append(line);
    endInsertRows();
}

void ReceivedLines::clear()
{
    beginResetModel();
    m_text.clear();
    m_text.squeeze();
    m_starts.clear();
    m_starts.shrink_to_fit();
    endResetModel();
}

QString ReceivedLines::line(int i) const
{
    return QString::fromLatin1(bytes(i));
}

QByteArray ReceivedLines::bytes(int i) const
{
    const auto k = static_cast<size_t>(i);
    const qsizetype start = m_starts[k], end = k + 1 < m_starts.size() ? m_starts[k + 1] : m_text.size();
    return QByteArray::fromRawData(m_text.constData() + start, end - start);
}

int ReceivedLines::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : count();
}

QVariant ReceivedLines::data(const QModelIndex &index, int role) const
{
    if (role != Qt::DisplayRole || !index.isValid() || index.row() >= count())
        return {};
    return line(index.row());
}

} // namespace halvo::app
