#include "ReceiverTreeModel.h"

#include <QApplication>
#include <QStyle>

#include "demo/data/DisplayName.h"
#include "demo/data/GroupPersonTable.h"
#include "demo/data/GroupTable.h"
#include "demo/data/PersonsTable.h"

namespace demo {

namespace {

constexpr int kTextWidth = 200;

QIcon standardIcon(QStyle::StandardPixmap which)
{
    return qApp ? QApplication::style()->standardIcon(which) : QIcon();
}

QStandardItem* row(const QString& text, ReceiverTreeModel::Kind kind, int level, const QIcon& icon)
{
    auto* item = new QStandardItem(icon, text.left(kTextWidth));
    item->setEditable(false);
    item->setData(int(kind), ReceiverTreeModel::KindRole);
    item->setData(level, ReceiverTreeModel::LevelRole);
    return item;
}

}  // namespace

ReceiverTreeModel::ReceiverTreeModel(const data::ContactDatabase& db, std::function<bool()> lastNameFirst,
                                     QObject* parent)
    : QStandardItemModel(parent), db_(db), lastNameFirst_(std::move(lastNameFirst))
{
    setColumnCount(1);
}

void ReceiverTreeModel::addPlaceholder(QStandardItem* group)
{
    // Gives the view its expand mark without reading the members yet.
    auto* mark = new QStandardItem;
    mark->setEditable(false);
    mark->setSelectable(false);
    mark->setData(int(Placeholder), KindRole);
    group->appendRow(mark);
}

void ReceiverTreeModel::addMembers(QStandardItem* group)
{
    const qint16 number = qint16(group->data(GroupRole).toInt());
    data::GroupPersonTable memberships(db_);
    data::PersonsTable persons(db_);
    const bool lastFirst = lastNameFirst_ && lastNameFirst_();
    QList<QStandardItem*> rows;
    for (const data::Membership& m : memberships.ofGroup(number)) {
        const auto person = persons.fetch(m.personNumber);
        auto* member = row(person ? data::displayName(*person, lastFirst) : QString(), Member, 2,
                           standardIcon(QStyle::SP_FileIcon));
        member->setData(int(m.groupNumber), GroupRole);
        member->setData(int(m.personNumber), PersonRole);
        rows << member;
    }
    for (QStandardItem* member : rows) group->appendRow(member);
}

void ReceiverTreeModel::rebuild()
{
    clear();
    setColumnCount(1);
    auto* everyone = row(tr("All"), Everyone, 0, standardIcon(QStyle::SP_DriveNetIcon));
    appendRow(everyone);
    data::GroupTable groups(db_);
    QSet<qint16> stillThere;
    for (const data::Group& g : groups.all(false)) {
        const bool hasMembers = groups.hasMembers(g.number);
        const bool open = expanded_.contains(g.number);
        auto* group = row(g.name, Group, open || !hasMembers ? 1 : -1, standardIcon(QStyle::SP_DirIcon));
        group->setData(int(g.number), GroupRole);
        everyone->appendRow(group);
        if (open) {
            stillThere.insert(g.number);
            addMembers(group);
        } else if (hasMembers) {
            addPlaceholder(group);
        }
    }
    expanded_ = stillThere;  // a deleted group is forgotten
}

void ReceiverTreeModel::expandGroup(const QModelIndex& index)
{
    QStandardItem* group = itemFromIndex(index);
    if (!group || group->data(KindRole).toInt() != Group || expanded_.contains(qint16(group->data(GroupRole).toInt())))
        return;
    expanded_.insert(qint16(group->data(GroupRole).toInt()));
    group->setData(1, LevelRole);
    group->removeRows(0, group->rowCount());
    addMembers(group);
}

void ReceiverTreeModel::contractGroup(const QModelIndex& index)
{
    QStandardItem* group = itemFromIndex(index);
    if (!group || group->data(KindRole).toInt() != Group) return;
    const qint16 number = qint16(group->data(GroupRole).toInt());
    expanded_.remove(number);
    const bool hasMembers = group->rowCount() > 0 || data::GroupTable(db_).hasMembers(number);
    group->removeRows(0, group->rowCount());
    group->setData(hasMembers ? -1 : 1, LevelRole);
    if (hasMembers) addPlaceholder(group);
}

QList<QModelIndex> ReceiverTreeModel::expandedGroups() const
{
    QList<QModelIndex> open;
    const QModelIndex all = everyoneIndex();
    for (int i = 0; i < rowCount(all); ++i) {
        const QModelIndex g = index(i, 0, all);
        if (expanded_.contains(qint16(g.data(GroupRole).toInt()))) open << g;
    }
    return open;
}

QString ReceiverTreeModel::positionKey(const QModelIndex& row)
{
    switch (row.data(KindRole).toInt()) {
    case Everyone: return QStringLiteral("0");
    case Group: return QStringLiteral("1:%1").arg(row.data(GroupRole).toInt());
    case Member: return QStringLiteral("2:%1:%2").arg(row.data(GroupRole).toInt()).arg(row.data(PersonRole).toInt());
    default: return QString();
    }
}

QModelIndex ReceiverTreeModel::find(const QString& key) const
{
    if (key.isEmpty()) return {};
    std::function<QModelIndex(const QModelIndex&)> search = [&](const QModelIndex& at) -> QModelIndex {
        if (positionKey(at) == key) return at;
        for (int i = 0; i < rowCount(at); ++i)
            if (QModelIndex hit = search(index(i, 0, at)); hit.isValid()) return hit;
        return {};
    };
    return search(everyoneIndex());
}

}  // namespace demo
