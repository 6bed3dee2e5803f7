// The persons list of the contacts window: display name and e-mail address
// of every person, in number order or in e-mail order (blank addresses are
// not in that key). Rows are read in batches as the view scrolls, so a list
// of 32,767 persons opens as fast as one of ten.
#ifndef DEMO_PERSONLISTMODEL_H
#define DEMO_PERSONLISTMODEL_H

#include <QAbstractTableModel>
#include <functional>
#include <optional>
#include <vector>

#include "demo/data/PersonsTable.h"
#include "demo/data/Records.h"

namespace demo {

class PersonListModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { NameColumn, EmailColumn };
    static constexpr int BatchSize = 256;

    PersonListModel(const data::ContactDatabase& database, std::function<bool()> lastNameFirst,
                    QObject* parent = nullptr);

    void setOrder(data::PersonsTable::Order order);
    data::PersonsTable::Order order() const { return order_; }
    // Forgets the rows read so far and reads the first batch again.
    void reload();

    std::optional<data::Person> personAt(int row) const;
    // The row of this person, reading further batches until it turns up;
    // -1 when the person is not in the list.
    int rowOfPerson(qint16 number);
    // Incremental locator of the e-mail order: the first row whose address,
    // ignoring letter case, is not before `prefix`; -1 when there is none
    // or the list is in another order.
    int locateEmail(const QString& prefix);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    bool canFetchMore(const QModelIndex& parent) const override;
    void fetchMore(const QModelIndex& parent) override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    // A row offers its person's number; a group dropped on the list is
    // reported for the person selected in the window.
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
    std::function<bool()> lastNameFirst_;
    data::PersonsTable::Order order_ = data::PersonsTable::Order::Number;
    std::vector<data::Person> rows_;
    bool atEnd_ = false;
};

}  // namespace demo

#endif
