#include "PersonGroupsModel.h"

#include <QMimeData>

#include "DragIdentifiers.h"
#include "demo/data/GroupPersonTable.h"

namespace demo {

PersonGroupsModel::PersonGroupsModel(const data::ContactDatabase& database, QObject* parent)
    : QAbstractListModel(parent), database_(database)
{
}

void PersonGroupsModel::showPerson(qint16 personNumber)
{
    beginResetModel();
    person_ = personNumber;
    rows_.clear();
    if (person_ != 0) rows_ = data::GroupPersonTable(database_).groupsOf(person_);
    endResetModel();
}

std::optional<data::Membership> PersonGroupsModel::membershipAt(int row) const
{
    if (row < 0 || row >= static_cast<int>(rows_.size())) return std::nullopt;
    return rows_[row].first;
}

int PersonGroupsModel::rowOfGroup(qint16 groupNumber) const
{
    for (size_t i = 0; i < rows_.size(); ++i)
        if (rows_[i].first.groupNumber == groupNumber) return static_cast<int>(i);
    return -1;
}

int PersonGroupsModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

QVariant PersonGroupsModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= static_cast<int>(rows_.size())) return {};
    if (role == Qt::DisplayRole || role == Qt::ToolTipRole) return rows_[index.row()].second.name;
    return {};
}

Qt::ItemFlags PersonGroupsModel::flags(const QModelIndex& index) const
{
    if (!index.isValid()) return Qt::ItemIsDropEnabled;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsDragEnabled | Qt::ItemIsDropEnabled;
}

QStringList PersonGroupsModel::mimeTypes() const { return {groupNumberMimeType()}; }

QMimeData* PersonGroupsModel::mimeData(const QModelIndexList& indexes) const
{
    for (const QModelIndex& index : indexes)
        if (const auto membership = membershipAt(index.row()); membership && index.isValid()) {
            offered_ = numberMimeData(groupNumberMimeType(), membership->groupNumber);
            return offered_;
        }
    return nullptr;
}

bool PersonGroupsModel::canDropMimeData(const QMimeData* data, Qt::DropAction, int, int, const QModelIndex&) const
{
    return person_ != 0 && data != offered_.data() && numberFromMimeData(data, groupNumberMimeType()).has_value();
}

bool PersonGroupsModel::dropMimeData(const QMimeData* data, Qt::DropAction, int, int, const QModelIndex&)
{
    if (!canDropMimeData(data, Qt::CopyAction, -1, -1, {})) return false;
    emit groupDropped(*numberFromMimeData(data, groupNumberMimeType()));
    return true;
}

}  // namespace demo
