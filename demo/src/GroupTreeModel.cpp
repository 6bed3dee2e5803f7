#include "GroupTreeModel.h"

#include <QMimeData>

#include "DragIdentifiers.h"
#include "TreeIcons.h"
#include "demo/data/ContactDatabase.h"
#include "demo/data/DisplayName.h"
#include "demo/data/GroupPersonTable.h"
#include "demo/data/GroupTable.h"

namespace demo {

namespace {

// An index's internal id names its parent: 0 for the root row (no parent),
// 1 for the group rows (under the root), 2 + n for the members of group n.
constexpr quintptr RootId = 0;
constexpr quintptr GroupId = 1;
constexpr quintptr FirstMemberId = 2;
constexpr int TextWidth = 200;
constexpr int MembersPerRead = 500;

}  // namespace

GroupTreeModel::GroupTreeModel(const data::ContactDatabase& database, std::function<bool()> lastNameFirst,
                               QObject* parent)
    : QAbstractItemModel(parent), database_(database), lastNameFirst_(std::move(lastNameFirst))
{
    readGroups(false);
}


void GroupTreeModel::rebuild()
{
    beginResetModel();
    readGroups(false);
    endResetModel();
}

void GroupTreeModel::rebuildAllExpanded()
{
    beginResetModel();
    readGroups(true);
    endResetModel();
}

void GroupTreeModel::rebuildAllCollapsed()
{
    expanded_.clear();
    rebuild();
}

void GroupTreeModel::readGroups(bool expandAll)
{
    groups_.clear();
    data::GroupTable groupTable(database_);
    data::GroupPersonTable memberships(database_);
    for (const data::Group& group : groupTable.all(true)) {
        GroupRow row;
        row.group = group;
        row.text = group.name.left(TextWidth);
        row.memberCount = memberships.countOfGroup(group.number);
        row.hasMembers = row.memberCount > 0;
        // A group remembered as expanded that lost its last member is simply
        // shown without a mark; it opens again once it has members.
        if (row.hasMembers && (expandAll || expanded_.contains(group.number))) {
            expanded_.insert(group.number);
            row.open = true;
        }
        groups_.push_back(std::move(row));
    }
}

const std::vector<GroupTreeModel::MemberRow>& GroupTreeModel::membersOf(const GroupRow& group) const
{
    if (group.loaded) return group.members;
    const bool lastFirst = lastNameFirst_ && lastNameFirst_();
    data::GroupPersonTable memberships(database_);
    data::MembershipCursor after;
    for (;;) {
        const auto batch = memberships.membersOf(group.group.number, after, MembersPerRead);
        for (const auto& [membership, person] : batch)
            group.members.push_back(
                {membership, person ? data::displayName(*person, lastFirst).left(TextWidth) : QString()});
        if (static_cast<int>(batch.size()) < MembersPerRead) break;
        after = data::MembershipCursor{batch.back().first.personNumber};
    }
    // The rows were counted when the group was read; members added or
    // removed by another station since then wait for the next rebuild.
    group.members.resize(group.memberCount);
    group.loaded = true;
    return group.members;
}

void GroupTreeModel::setGroupExpanded(qint16 groupNumber, bool expanded)
{
    if (expanded)
        expanded_.insert(groupNumber);
    else
        expanded_.remove(groupNumber);
}

int GroupTreeModel::levelOf(const QModelIndex& index)
{
    if (!index.isValid()) return -1;
    const quintptr id = index.internalId();
    return id == RootId ? RootLevel : id == GroupId ? GroupLevel : MemberLevel;
}

const GroupTreeModel::GroupRow* GroupTreeModel::groupRowOf(const QModelIndex& index) const
{
    switch (levelOf(index)) {
    case GroupLevel: return &groups_[index.row()];
    case MemberLevel: return &groups_[index.internalId() - FirstMemberId];
    default: return nullptr;
    }
}

GroupTreeModel::RowKey GroupTreeModel::keyOf(const QModelIndex& index) const
{
    RowKey key;
    key.level = levelOf(index);
    if (key.level == GroupLevel)
        key.record.groupNumber = groups_[index.row()].group.number;
    else if (key.level == MemberLevel)
        key.record = membersOf(groups_[index.internalId() - FirstMemberId])[index.row()].membership;
    return key;
}

QModelIndex GroupTreeModel::groupIndex(qint16 groupNumber) const
{
    for (size_t i = 0; i < groups_.size(); ++i)
        if (groups_[i].group.number == groupNumber) return createIndex(static_cast<int>(i), 0, GroupId);
    return {};
}

QModelIndex GroupTreeModel::indexOf(const RowKey& key) const
{
    if (key.level == RootLevel) return rootIndex();
    const QModelIndex group = groupIndex(key.record.groupNumber);
    if (!group.isValid() || key.level == GroupLevel) return group;
    if (!groups_[group.row()].open) return {};
    const auto& members = membersOf(groups_[group.row()]);
    for (size_t i = 0; i < members.size(); ++i)
        if (members[i].membership.personNumber == key.record.personNumber)
            return createIndex(static_cast<int>(i), 0, FirstMemberId + group.row());
    return {};
}

qint16 GroupTreeModel::groupNumberOf(const QModelIndex& index) const
{
    const GroupRow* row = groupRowOf(index);
    return row ? row->group.number : 0;
}

QModelIndex GroupTreeModel::index(int row, int column, const QModelIndex& parent) const
{
    if (row < 0 || column != 0 || row >= rowCount(parent)) return {};
    switch (levelOf(parent)) {
    case -1: return createIndex(row, 0, RootId);
    case RootLevel: return createIndex(row, 0, GroupId);
    case GroupLevel: return createIndex(row, 0, FirstMemberId + parent.row());
    default: return {};
    }
}

QModelIndex GroupTreeModel::parent(const QModelIndex& child) const
{
    switch (levelOf(child)) {
    case GroupLevel: return rootIndex();
    case MemberLevel: return createIndex(static_cast<int>(child.internalId() - FirstMemberId), 0, GroupId);
    default: return {};
    }
}

int GroupTreeModel::rowCount(const QModelIndex& parent) const
{
    switch (levelOf(parent)) {
    case -1: return 1;
    case RootLevel: return static_cast<int>(groups_.size());
    case GroupLevel: return groups_[parent.row()].open ? groups_[parent.row()].memberCount : 0;
    default: return 0;
    }
}

int GroupTreeModel::columnCount(const QModelIndex&) const { return 1; }

bool GroupTreeModel::hasChildren(const QModelIndex& parent) const
{
    switch (levelOf(parent)) {
    case -1: return true;
    case RootLevel: return !groups_.empty();
    case GroupLevel: return groups_[parent.row()].hasMembers;
    default: return false;
    }
}

bool GroupTreeModel::canFetchMore(const QModelIndex& parent) const
{
    const GroupRow* row = levelOf(parent) == GroupLevel ? &groups_[parent.row()] : nullptr;
    return row && row->hasMembers && !row->open;
}

void GroupTreeModel::fetchMore(const QModelIndex& parent)
{
    if (!canFetchMore(parent)) return;
    GroupRow& group = groups_[parent.row()];
    beginInsertRows(parent, 0, group.memberCount - 1);
    group.open = true;
    endInsertRows();
}

QVariant GroupTreeModel::data(const QModelIndex& index, int role) const
{
    const int level = levelOf(index);
    if (level < 0) return {};
    const GroupRow* group = groupRowOf(index);
    switch (role) {
    case Qt::DisplayRole:
        if (level == RootLevel) return QStringLiteral("Groups");
        if (level == GroupLevel) return group->text;
        return membersOf(*group)[index.row()].text;
    case Qt::DecorationRole:
        return treeIcon(level == RootLevel ? RootIcon : level == GroupLevel ? GroupIcon : MemberIcon);
    case IconNumberRole: return level == RootLevel ? RootIcon : level == GroupLevel ? GroupIcon : MemberIcon;
    case SignedLevelRole:
        // Negative for a group that is closed over members.
        if (level == GroupLevel && group->hasMembers && !expanded_.contains(group->group.number)) return -GroupLevel;
        return level;
    default: return {};
    }
}

Qt::ItemFlags GroupTreeModel::flags(const QModelIndex& index) const
{
    if (!index.isValid()) return Qt::NoItemFlags;
    Qt::ItemFlags flags = Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsDropEnabled;
    if (levelOf(index) != RootLevel) flags |= Qt::ItemIsDragEnabled;
    return flags;
}

QStringList GroupTreeModel::mimeTypes() const { return {groupNumberMimeType()}; }

QMimeData* GroupTreeModel::mimeData(const QModelIndexList& indexes) const
{
    for (const QModelIndex& index : indexes)
        if (const qint16 group = groupNumberOf(index)) return numberMimeData(groupNumberMimeType(), group);
    return nullptr;
}

bool GroupTreeModel::canDropMimeData(const QMimeData* data, Qt::DropAction, int, int, const QModelIndex& parent) const
{
    return parent.isValid() && numberFromMimeData(data, personNumberMimeType()).has_value();
}

bool GroupTreeModel::dropMimeData(const QMimeData* data, Qt::DropAction action, int row, int column,
                                  const QModelIndex& parent)
{
    if (!canDropMimeData(data, action, row, column, parent)) return false;
    // A drop between rows lands on the row it was let go over.
    const QModelIndex target = row >= 0 ? index(row, 0, parent) : parent;
    const qint16 group = groupNumberOf(target.isValid() ? target : parent);
    if (group == 0) return false;
    emit personDropped(*numberFromMimeData(data, personNumberMimeType()), group);
    return true;
}

}  // namespace demo
