#include "history_models.h"

#include "config/differences.h"

namespace halvo::app {

namespace {
const QStringList VersionHeaders = {QStringLiteral("Version"), QStringLiteral("Date"), QStringLiteral("Who"),
                                    QStringLiteral("PC"), QStringLiteral("What")};
const QStringList DifferenceHeaders = {QStringLiteral("Item"), QStringLiteral("Field"),
                                       QStringLiteral("Before"), QStringLiteral("After")};
} // namespace

void VersionsModel::setVersions(std::vector<records::Version> versions)
{
    beginResetModel();
    m_versions = std::move(versions);
    endResetModel();
}

int VersionsModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(m_versions.size());
}

int VersionsModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(VersionHeaders.size());
}

QVariant VersionsModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || (role != Qt::DisplayRole && role != Qt::ToolTipRole))
        return {};
    const records::Version &v = version(index.row());
    if (role == Qt::ToolTipRole)
        return v.message.trimmed();
    switch (index.column()) {
    case 0:
        return v.number;
    case 1:
        return v.when.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm"));
    case 2:
        return v.author.name;
    case 3:
        return v.author.host;
    default:
        return v.summary;
    }
}

QVariant VersionsModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole)
        return VersionHeaders.value(section);
    return QAbstractTableModel::headerData(section, orientation, role);
}

void DifferencesModel::setDifferences(const records::VersionDifferences &differences)
{
    beginResetModel();
    m_rows.clear();
    for (const config::Difference &d : differences.fields) {
        const auto [before, after] = config::Difference_Texts(d);
        m_rows.push_back({config::Item_Name(d.part, d.part == config::Part::Settings ? 0 : d.index),
                          config::Field_Label(d), before, after});
    }
    for (const QString &part : differences.notRead)
        m_rows.push_back({part, QString(), QStringLiteral("not read"), QStringLiteral("not read")});
    endResetModel();
}

int DifferencesModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(m_rows.size());
}

int DifferencesModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(DifferenceHeaders.size());
}

QVariant DifferencesModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || role != Qt::DisplayRole)
        return {};
    const Row &r = m_rows.at(static_cast<size_t>(index.row()));
    const QString texts[] = {r.item, r.field, r.before, r.after};
    return texts[index.column()];
}

QVariant DifferencesModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole)
        return DifferenceHeaders.value(section);
    return QAbstractTableModel::headerData(section, orientation, role);
}

} // namespace halvo::app
