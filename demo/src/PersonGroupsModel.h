// The groups of one person, by group name: the third list of the contacts
// window. A row offers its group's number, like the tree's rows, so it can be
// dragged to another contacts window's persons; a group dropped on the list
// is reported for that person, unless it is a row of this very list (the
// person is in that group already).
#ifndef DEMO_PERSONGROUPSMODEL_H
#define DEMO_PERSONGROUPSMODEL_H

#include <QAbstractListModel>
#include <QPointer>
#include <optional>
#include <utility>
#include <vector>

#include "demo/data/Records.h"

namespace demo::data {
class ContactDatabase;
}

namespace demo {

class PersonGroupsModel : public QAbstractListModel {
    Q_OBJECT
public:
    explicit PersonGroupsModel(const data::ContactDatabase& database, QObject* parent = nullptr);

    // 0 shows no groups.
    void showPerson(qint16 personNumber);
    qint16 personNumber() const { return person_; }
    void reload() { showPerson(person_); }
    std::optional<data::Membership> membershipAt(int row) const;
    int rowOfGroup(qint16 groupNumber) const;

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    QStringList mimeTypes() const override;
    QMimeData* mimeData(const QModelIndexList& indexes) const override;
    bool canDropMimeData(const QMimeData* data, Qt::DropAction action, int row, int column,
                         const QModelIndex& parent) const override;
    bool dropMimeData(const QMimeData* data, Qt::DropAction action, int row, int column,
                      const QModelIndex& parent) override;
    Qt::DropActions supportedDragActions() const override { return Qt::CopyAction; }
    Qt::DropActions supportedDropActions() const override { return Qt::CopyAction; }

signals:
    void groupDropped(qint16 groupNumber);

private:
    const data::ContactDatabase& database_;
    qint16 person_ = 0;
    std::vector<std::pair<data::Membership, data::Group>> rows_;
    // The data of the drag that started here, while it lasts.
    mutable QPointer<QMimeData> offered_;
};

}  // namespace demo

#endif
