#include "received_lines.h"

#include <QTimer>

namespace halvo::app {

void ReceivedLines::append(const QByteArray &line)
{
    m_starts.push_back(static_cast<quint32>(m_text.size()));
    m_text.append(line);
    if (!m_showDue) {
        m_showDue = true;
        QTimer::singleShot(0, this, &ReceivedLines::showNewLines);
    }
}

void ReceivedLines::showNewLines()
{
    m_showDue = false;
    const int stored = static_cast<int>(m_starts.size());
    if (stored == m_shown)
        return;
    beginInsertRows({}, m_shown, stored - 1);
    m_shown = stored;
    endInsertRows();
}

void ReceivedLines::clear()
{
    beginResetModel();
    m_text.clear();
    m_text.squeeze();
    m_starts.clear();
    m_starts.shrink_to_fit();
    m_shown = 0;
    endResetModel();
}

QString ReceivedLines::line(int i) const
{
    const auto k = static_cast<size_t>(i);
    const qsizetype start = m_starts[k], end = k + 1 < m_starts.size() ? m_starts[k + 1] : m_text.size();
    return QString::fromLatin1(m_text.constData() + start, end - start);
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
