#include "pass_table_model.h"

#include "config/configuration.h"
#include "session/changes_not_stored.h"

#include <QColor>
#include <QFont>

#include <set>

namespace halvo::app {

using passes::ColumnCount;
using passes::PassCount;

PassTableModel::PassTableModel(const config::Configuration &config, const session::ChangesNotStored &changes,
                               QObject *parent)
    : QAbstractTableModel(parent), m_config(config), m_changes(changes), m_ticked(PassCount, false)
{
    connect(config.notifier(), &config::ConfigurationNotifier::changed, this,
            &PassTableModel::configurationChanged);
    connect(&changes, &session::ChangesNotStored::changed, this, &PassTableModel::differencesChanged);
    differencesChanged();
}

int PassTableModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : PassCount;
}

int PassTableModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant PassTableModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid())
        return {};
    const int row = index.row() + 1, column = index.column();
    const auto cell = [&](const config::Configuration &c) {
        return c.passRow(row)[static_cast<size_t>(column)];
    };
    switch (role) {
    case Qt::DisplayRole:
        return cell(m_config);
    case Qt::CheckStateRole:
        return column == 0 ? QVariant(ticked(row) ? Qt::Checked : Qt::Unchecked) : QVariant();
    case Qt::FontRole:
        if (marked(row, column)) {
            QFont bold;
            bold.setBold(true);
            return bold;
        }
        return {};
    case Qt::BackgroundRole:
        return marked(row, column) ? QVariant(m_tint) : QVariant();
    case Qt::AccessibleDescriptionRole:
        return marked(row, column) ? QVariant(QStringLiteral("changed, unit has ") + cell(m_changes.unit()))
                                   : QVariant();
    default:
        return {};
    }
}

bool PassTableModel::setData(const QModelIndex &index, const QVariant &value, int role)
{
    if (!index.isValid() || index.column() != 0 || role != Qt::CheckStateRole)
        return false;
    m_ticked[static_cast<size_t>(index.row())] = value.value<Qt::CheckState>() == Qt::Checked;
    emit dataChanged(index, index, {Qt::CheckStateRole});
    return true;
}

void PassTableModel::untick(int row)
{
    setData(index(row - 1, 0), Qt::Unchecked, Qt::CheckStateRole);
}

QVariant PassTableModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole)
        return passes::Column_Headers().value(section);
    return QAbstractTableModel::headerData(section, orientation, role);
}

Qt::ItemFlags PassTableModel::flags(const QModelIndex &index) const
{
    Qt::ItemFlags f = QAbstractTableModel::flags(index);
    return index.column() == 0 ? f | Qt::ItemIsUserCheckable : f;
}

// A row from the unit, a file or the editor: that row, or every row for a whole part.
void PassTableModel::configurationChanged(const config::Change &change)
{
    if (change.part != config::Part::Passes)
        return;
    const int first = change.whole() ? 0 : change.index - 1, last = change.whole() ? PassCount - 1 : first;
    emit dataChanged(index(first, 0), index(last, ColumnCount - 1), {Qt::DisplayRole});
}

// Only the cells whose mark came, went, or now names another unit value are redrawn.
void PassTableModel::differencesChanged()
{
    std::map<std::pair<int, int>, QString> now;
    for (const config::Difference &d : m_changes.differences())
        if (d.part == config::Part::Passes)
            now[{d.index, d.column}] = d.second;
    std::set<std::pair<int, int>> touched;
    for (const auto &[cell, unit] : now)
        if (auto was = m_marked.find(cell); was == m_marked.end() || was->second != unit)
            touched.insert(cell);
    for (const auto &[cell, unit] : m_marked)
        if (!now.count(cell))
            touched.insert(cell);
    m_marked = std::move(now);
    for (const auto &[row, column] : touched) {
        const QModelIndex cell = index(row - 1, column);
        emit dataChanged(cell, cell, {Qt::FontRole, Qt::BackgroundRole, Qt::AccessibleDescriptionRole});
    }
}

} // namespace halvo::app
