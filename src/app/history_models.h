#pragma once

#include "records/repository.h"
#include "records/unit_version.h"

#include <QAbstractTableModel>

#include <vector>

namespace halvo::app {

// A unit's versions, newest first: number, date, who, from which PC, what.
class VersionsModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    using QAbstractTableModel::QAbstractTableModel;
    void setVersions(std::vector<records::Version> versions);
    const records::Version &version(int row) const { return m_versions.at(static_cast<size_t>(row)); }

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
    std::vector<records::Version> m_versions;
};

// What differs between two versions, one row per field, with the names Review Changes
// uses; a part one of them never read is one row that says so.
class DifferencesModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    using QAbstractTableModel::QAbstractTableModel;
    void setDifferences(const records::VersionDifferences &differences);

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
    struct Row
    {
        QString item, field, before, after;
    };
    std::vector<Row> m_rows;
};

} // namespace halvo::app
