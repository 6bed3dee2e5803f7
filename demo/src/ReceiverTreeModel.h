// The receiver tree of the compose window: "All" (level 0), the groups in
// physical order (level 1, or -1 while shown collapsed with members under
// it) and, under an expanded group, its members (level 2) by display name.
// Members are read only when their group is expanded; the expanded groups
// are remembered so they stay expanded when the tree is built again.
#ifndef DEMO_RECEIVERTREEMODEL_H
#define DEMO_RECEIVERTREEMODEL_H

#include <QSet>
#include <QStandardItemModel>
#include <functional>

#include "demo/data/ContactDatabase.h"

namespace demo {

class ReceiverTreeModel : public QStandardItemModel {
    Q_OBJECT

public:
    enum Role { LevelRole = Qt::UserRole + 1, KindRole, GroupRole, PersonRole };
    enum Kind { Everyone, Group, Member, Placeholder };

    ReceiverTreeModel(const data::ContactDatabase& db, std::function<bool()> lastNameFirst, QObject* parent = nullptr);

    // Empties the tree and reads it again from the data files.
    void rebuild();
    // Loads a group's members under it; no effect on other rows.
    void expandGroup(const QModelIndex& group);
    // Removes a group's members; it keeps an expand mark when it has any.
    void contractGroup(const QModelIndex& group);

    QModelIndex everyoneIndex() const { return index(0, 0); }
    QList<QModelIndex> expandedGroups() const;

    // Level and record of a row ("0", "1:5", "2:5:12"), to find it again after a rebuild.
    static QString positionKey(const QModelIndex& row);
    QModelIndex find(const QString& positionKey) const;

private:
    void addMembers(QStandardItem* group);
    static void addPlaceholder(QStandardItem* group);

    const data::ContactDatabase& db_;
    std::function<bool()> lastNameFirst_;
    QSet<qint16> expanded_;
};

}  // namespace demo

#endif
