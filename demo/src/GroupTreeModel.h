// The contacts window's tree: the root row "Groups", under it every group in
// name order, under an expanded group its members by display name. A group
// is read with its member count only; its members are read when one of their
// rows is first asked for, so opening every group of a large file costs no
// more than the rows on the screen. A group shows an expand mark only when
// it has members. The groups that are expanded are remembered by
// number, so a rebuild (after any change, or when the window gains the focus)
// shows the same groups open again.
#ifndef DEMO_GROUPTREEMODEL_H
#define DEMO_GROUPTREEMODEL_H

#include <QAbstractItemModel>
#include <QSet>
#include <functional>
#include <vector>

#include "demo/data/Records.h"

namespace demo::data {
class ContactDatabase;
}

namespace demo {

class GroupTreeModel : public QAbstractItemModel {
    Q_OBJECT
public:
    enum Level { RootLevel = 0, GroupLevel = 1, MemberLevel = 2 };
    enum Icon { RootIcon = 1, MemberIcon = 2, GroupIcon = 3 };
    enum Role { IconNumberRole = Qt::UserRole + 1, SignedLevelRole };

    // Where a row stands in the files: its level and the record behind it
    // (nothing for the root, the group, or the membership).
    struct RowKey {
        int level = RootLevel;
        data::Membership record;  // group rows use only groupNumber
        bool operator==(const RowKey& other) const
        {
            return level == other.level && record.groupNumber == other.record.groupNumber &&
                   record.personNumber == other.record.personNumber;
        }
    };

    GroupTreeModel(const data::ContactDatabase& database, std::function<bool()> lastNameFirst,
                   QObject* parent = nullptr);

    // Reads the groups again; expanded groups get their members at once.
    void rebuild();
    // Every group with members is expanded and remembered so.
    void rebuildAllExpanded();
    // The list of expanded groups is emptied first.
    void rebuildAllCollapsed();

    // The view reports its expand and collapse clicks here; a caller that
    // wants a group open after the next rebuild says so too.
    void setGroupExpanded(qint16 groupNumber, bool expanded);
    bool isGroupExpanded(qint16 groupNumber) const { return expanded_.contains(groupNumber); }
    const QSet<qint16>& expandedGroups() const { return expanded_; }

    static int levelOf(const QModelIndex& index);
    RowKey keyOf(const QModelIndex& index) const;
    // The row with this key, or an invalid index when it is not (or no
    // longer) in the tree.
    QModelIndex indexOf(const RowKey& key) const;
    // The group a row belongs to: its own for a group row, its parent's for a
    // member row, 0 for the root.
    qint16 groupNumberOf(const QModelIndex& index) const;
    QModelIndex rootIndex() const { return index(0, 0); }
    QModelIndex groupIndex(qint16 groupNumber) const;

    QModelIndex index(int row, int column, const QModelIndex& parent = QModelIndex()) const override;
    QModelIndex parent(const QModelIndex& child) const override;
    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    bool hasChildren(const QModelIndex& parent = QModelIndex()) const override;
    bool canFetchMore(const QModelIndex& parent) const override;
    void fetchMore(const QModelIndex& parent) override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    // A row offers its group's number; a person dropped on a row is reported
    // with the row's group (0 for the root, which takes nobody).
    QStringList mimeTypes() const override;
    QMimeData* mimeData(const QModelIndexList& indexes) const override;
    bool canDropMimeData(const QMimeData* data, Qt::DropAction action, int row, int column,
                         const QModelIndex& parent) const override;
    bool dropMimeData(const QMimeData* data, Qt::DropAction action, int row, int column,
                      const QModelIndex& parent) override;
    Qt::DropActions supportedDragActions() const override { return Qt::CopyAction; }
    Qt::DropActions supportedDropActions() const override { return Qt::CopyAction; }

signals:
    void personDropped(qint16 personNumber, qint16 groupNumber);

private:
    struct MemberRow {
        data::Membership membership;
        QString text;
    };
    struct GroupRow {
        data::Group group;
        QString text;
        int memberCount = 0;
        bool hasMembers = false;
        bool open = false;  // its member rows are in the model
        mutable bool loaded = false;
        mutable std::vector<MemberRow> members;
    };

    void readGroups(bool expandAll);
    // The group's members, read on first use.
    const std::vector<MemberRow>& membersOf(const GroupRow& group) const;
    const GroupRow* groupRowOf(const QModelIndex& index) const;

    const data::ContactDatabase& database_;
    std::function<bool()> lastNameFirst_;
    std::vector<GroupRow> groups_;
    QSet<qint16> expanded_;
};

}  // namespace demo

#endif
