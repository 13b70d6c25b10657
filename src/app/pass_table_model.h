#pragma once

#include "config/configuration_notifier.h"

#include <QAbstractTableModel>
#include <QColor>

#include <map>
#include <utility>
#include <vector>

namespace halvo::config {
class Configuration;
}
namespace halvo::session {
class ChangesNotStored;
}

namespace halvo::app {

// The pass table as the window shows it: 72 rows of the configuration's 13 columns,
// a box to tick on each row (Set Selected), and each cell that differs from the unit
// bold on a tint, heard as "changed, unit has <value>". A change of the configuration
// or of what differs redraws only the rows and cells it touched.
class PassTableModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    PassTableModel(const config::Configuration &config, const session::ChangesNotStored &changes,
                   QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    bool setData(const QModelIndex &index, const QVariant &value, int role = Qt::EditRole) override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;

    // Rows 1..72.
    bool ticked(int row) const { return m_ticked[static_cast<size_t>(row - 1)]; }
    void untick(int row);
    bool marked(int row, int column) const { return m_marked.count({row, column}) > 0; }

    // The tint behind a changed cell, from the view's palette.
    void setTint(const QColor &tint) { m_tint = tint; }

private:
    void configurationChanged(const config::Change &change);
    void differencesChanged();

    const config::Configuration &m_config;
    const session::ChangesNotStored &m_changes;
    std::vector<bool> m_ticked;
    // (row, column) of each cell that differs from the unit, and what the unit has there.
    std::map<std::pair<int, int>, QString> m_marked;
    QColor m_tint;
};

} // namespace halvo::app
