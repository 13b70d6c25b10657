#include "event_line_filter.h"

#include "received_lines.h"

#include <QElapsedTimer>
#include <QLocale>

namespace halvo::app {

namespace {
constexpr qint64 SliceMs = 8; // then the window's events run before the next slice

QString count(int n)
{
    return n < 10000 ? QString::number(n) : QLocale().toString(n);
}
} // namespace

EventLineFilter::EventLineFilter(const ReceivedLines &lines, QObject *parent)
    : QAbstractListModel(parent), m_lines(lines)
{
    m_slice.setSingleShot(true);
    m_slice.setInterval(0);
    connect(&m_slice, &QTimer::timeout, this, &EventLineFilter::scanSlice);
    m_newLines.setSingleShot(true);
    m_newLines.setInterval(0);
    connect(&m_newLines, &QTimer::timeout, this, &EventLineFilter::takeNewLines);
    connect(&lines, &QAbstractItemModel::rowsInserted, &m_newLines, qOverload<>(&QTimer::start));
    m_taken = lines.count();
    connect(&lines, &QAbstractItemModel::modelReset, this, &EventLineFilter::linesReset);
}

QString EventLineFilter::setFilter(const QString &text, bool regularExpression)
{
    if (regularExpression && !text.isEmpty()) {
        const QRegularExpression e(text, QRegularExpression::CaseInsensitiveOption);
        if (!e.isValid())
            return e.errorString(); // the last result stays
        m_expression = e;
    }
    m_useExpression = regularExpression;
    m_words = text.split(QRegularExpression(QStringLiteral("\\s+")), Qt::SkipEmptyParts);
    const bool active = regularExpression ? !text.isEmpty() : !m_words.isEmpty();
    m_slice.stop();
    m_scanning = false;
    if (!active) {
        beginResetModel();
        m_active = false;
        m_rows = {};
        m_taken = m_lines.count();
        endResetModel();
        emit countChanged();
        return {};
    }
    m_next.clear();
    m_scanned = 0;
    m_scanning = true;
    scanSlice();
    return {};
}

bool EventLineFilter::matches(int line) const
{
    const QString text = m_lines.line(line);
    if (m_useExpression)
        return m_expression.match(text).hasMatch();
    for (const QString &word : m_words)
        if (!text.contains(word, Qt::CaseInsensitive))
            return false;
    return true;
}

void EventLineFilter::scanSlice()
{
    QElapsedTimer busy;
    busy.start();
    const int total = m_lines.count();
    while (m_scanned < total && busy.elapsed() < SliceMs) {
        const int end = std::min(total, m_scanned + 256);
        for (; m_scanned < end; ++m_scanned)
            if (matches(m_scanned))
                m_next.push_back(static_cast<quint32>(m_scanned));
    }
    if (m_scanned < total) {
        m_slice.start();
        return;
    }
    beginResetModel();
    m_rows.swap(m_next);
    m_next = {};
    m_active = true;
    m_scanning = false;
    m_taken = total;
    endResetModel();
    emit countChanged();
}

void EventLineFilter::takeNewLines()
{
    const int first = m_taken, last = m_lines.count() - 1;
    if (last < first)
        return;
    m_taken = last + 1;
    if (!m_active) { // every line is shown
        beginInsertRows({}, first, last);
        endInsertRows();
    } else if (!m_scanning) { // a new filter's scan reaches them; till then the last result stays
        const int before = static_cast<int>(m_rows.size());
        std::vector<quint32> kept;
        for (int l = first; l <= last; ++l)
            if (matches(l))
                kept.push_back(static_cast<quint32>(l));
        if (!kept.empty()) {
            beginInsertRows({}, before, before + static_cast<int>(kept.size()) - 1);
            m_rows.insert(m_rows.end(), kept.begin(), kept.end());
            endInsertRows();
        }
    }
    emit countChanged();
}

void EventLineFilter::linesReset()
{
    beginResetModel();
    m_taken = m_lines.count();
    m_rows = {};
    m_next = {};
    m_scanned = 0;
    endResetModel();
    emit countChanged();
}

int EventLineFilter::shown() const
{
    return m_active ? static_cast<int>(m_rows.size()) : m_taken;
}

QString EventLineFilter::countText() const
{
    const int all = m_taken;
    return m_active ? QStringLiteral("%1 of %2 lines").arg(count(shown()), count(all))
                    : QStringLiteral("%1 lines").arg(count(all));
}

int EventLineFilter::lineAt(int row) const
{
    return m_active ? static_cast<int>(m_rows[static_cast<size_t>(row)]) : row;
}

int EventLineFilter::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : shown();
}

QVariant EventLineFilter::data(const QModelIndex &index, int role) const
{
    if (role != Qt::DisplayRole || !index.isValid() || index.row() >= shown())
        return {};
    return m_lines.line(lineAt(index.row()));
}

} // namespace halvo::app
