#include "PersonListModel.h"

#include <QMimeData>

#include "DragIdentifiers.h"
#include "demo/data/DisplayName.h"

namespace demo {

namespace {
constexpr int NameWidth = 100;
}

PersonListModel::PersonListModel(const data::ContactDatabase& database, std::function<bool()> lastNameFirst,
                                 QObject* parent)
    : QAbstractTableModel(parent), database_(database), lastNameFirst_(std::move(lastNameFirst))
{
    reload();
}

void PersonListModel::setOrder(data::PersonsTable::Order order)
{
    order_ = order;
    reload();
}

void PersonListModel::reload()
{
    beginResetModel();
    rows_.clear();
    atEnd_ = false;
    endResetModel();
    fetchMore({});
}

bool PersonListModel::canFetchMore(const QModelIndex& parent) const { return !parent.isValid() && !atEnd_; }

void PersonListModel::fetchMore(const QModelIndex& parent)
{
    if (!canFetchMore(parent)) return;
    data::PersonsTable persons(database_);
    const data::PersonCursor after = rows_.empty() ? data::PersonCursor{} : data::PersonsTable::cursorAfter(order_, rows_.back());
    std::vector<data::Person> batch = persons.batch(order_, after, BatchSize);
    // A read error ends the list where it is rather than asking again and
    // again from a view that keeps scrolling.
    atEnd_ = static_cast<int>(batch.size()) < BatchSize || persons.error();
    if (batch.empty()) return;
    const int first = static_cast<int>(rows_.size());
    beginInsertRows({}, first, first + static_cast<int>(batch.size()) - 1);
    rows_.insert(rows_.end(), std::make_move_iterator(batch.begin()), std::make_move_iterator(batch.end()));
    endInsertRows();
}

std::optional<data::Person> PersonListModel::personAt(int row) const
{
    if (row < 0 || row >= static_cast<int>(rows_.size())) return std::nullopt;
    return rows_[row];
}

int PersonListModel::rowOfPerson(qint16 number)
{
    for (size_t row = 0;; ++row) {
        if (row == rows_.size()) {
            if (!canFetchMore({})) return -1;
            fetchMore({});
            if (row == rows_.size()) return -1;
        }
        if (rows_[row].number == number) return static_cast<int>(row);
    }
}

int PersonListModel::locateEmail(const QString& prefix)
{
    if (order_ != data::PersonsTable::Order::EmailAddress) return -1;
    for (size_t row = 0;; ++row) {
        if (row == rows_.size()) {
            if (!canFetchMore({})) return -1;
            fetchMore({});
            if (row == rows_.size()) return -1;
        }
        if (rows_[row].emailAddress.compare(prefix, Qt::CaseInsensitive) >= 0) return static_cast<int>(row);
    }
}

int PersonListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int PersonListModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : 2; }

QVariant PersonListModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= static_cast<int>(rows_.size())) return {};
    if (role != Qt::DisplayRole && role != Qt::ToolTipRole) return {};
    const data::Person& person = rows_[index.row()];
    if (index.column() == EmailColumn) return person.emailAddress;
    return data::displayName(person, lastNameFirst_ && lastNameFirst_()).left(NameWidth);
}

QVariant PersonListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal) return {};
    if (role == Qt::DisplayRole) return section == NameColumn ? QStringLiteral("Name") : QStringLiteral("Emailaddress");
    if (role == Qt::TextAlignmentRole)
        return QVariant::fromValue(section == NameColumn ? Qt::AlignCenter : Qt::AlignLeft | Qt::AlignVCenter);
    return {};
}

Qt::ItemFlags PersonListModel::flags(const QModelIndex& index) const
{
    if (!index.isValid()) return Qt::ItemIsDropEnabled;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsDragEnabled | Qt::ItemIsDropEnabled;
}

QStringList PersonListModel::mimeTypes() const { return {personNumberMimeType(), groupNumberMimeType()}; }

QMimeData* PersonListModel::mimeData(const QModelIndexList& indexes) const
{
    for (const QModelIndex& index : indexes)
        if (const auto person = personAt(index.row())) return numberMimeData(personNumberMimeType(), person->number);
    return nullptr;
}

bool PersonListModel::canDropMimeData(const QMimeData* data, Qt::DropAction, int, int, const QModelIndex&) const
{
    return numberFromMimeData(data, groupNumberMimeType()).has_value();
}

bool PersonListModel::dropMimeData(const QMimeData* data, Qt::DropAction, int, int, const QModelIndex&)
{
    const auto group = numberFromMimeData(data, groupNumberMimeType());
    if (!group) return false;
    emit groupDropped(*group);
    return true;
}

}  // namespace demo
