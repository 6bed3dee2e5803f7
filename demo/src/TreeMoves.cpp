#include "TreeMoves.h"

#include <QTreeView>

namespace demo {

namespace {

void open(QTreeView& view, const QModelIndex& index)
{
    QAbstractItemModel* model = view.model();
    if (!model->hasChildren(index) || view.isExpanded(index)) return;
    if (model->canFetchMore(index)) model->fetchMore(index);
    view.expand(index);
}

QModelIndex lastVisibleRow(QTreeView& view, QModelIndex index)
{
    QAbstractItemModel* model = view.model();
    while (view.isExpanded(index) && model->rowCount(index) > 0) index = model->index(model->rowCount(index) - 1, 0, index);
    return index;
}

QModelIndex sibling(const QModelIndex& index, int row)
{
    if (row < 0 || row >= index.model()->rowCount(index.parent())) return {};
    return index.siblingAtRow(row);
}

QModelIndex orSelf(const QModelIndex& target, const QModelIndex& from) { return target.isValid() ? target : from; }

}  // namespace

QModelIndex treeMoveTarget(QTreeView& view, const QModelIndex& from, TreeMove move)
{
    if (!from.isValid()) return view.model()->index(0, 0);
    QAbstractItemModel* model = view.model();
    switch (move) {
    case TreeMove::NextRecord:
        open(view, from);
        return orSelf(view.indexBelow(from), from);
    case TreeMove::PriorRecord: {
        const QModelIndex above = view.indexAbove(from);
        if (!above.isValid()) return from;
        // Only a row that is not an ancestor of `from` can be opened without
        // putting rows between it and `from`.
        if (above != from.parent()) open(view, above);
        return above == from.parent() ? above : lastVisibleRow(view, above);
    }
    case TreeMove::NextPage: {
        for (QModelIndex at = from; at.isValid(); at = at.parent())
            if (const QModelIndex next = sibling(at, at.row() + 1); next.isValid()) return next;
        return from;
    }
    case TreeMove::PriorPage: {
        if (const QModelIndex previous = sibling(from, from.row() - 1); previous.isValid()) return previous;
        return orSelf(from.parent(), from);
    }
    case TreeMove::FirstPage: {
        const QModelIndex first = sibling(from, 0);
        return first != from ? first : orSelf(from.parent(), from);
    }
    case TreeMove::LastPage: {
        const QModelIndex last = sibling(from, model->rowCount(from.parent()) - 1);
        if (last != from) return last;
        const QModelIndex parent = from.parent();
        if (!parent.isValid()) return from;
        return orSelf(sibling(parent, model->rowCount(parent.parent()) - 1), from);
    }
    }
    return from;
}

}  // namespace demo
