// How the frame's record-navigation buttons walk a tree view of groups:
// a record step goes to the next or previous visible row, opening rows on
// the way; a page step goes to the next or previous row of the same level
// and climbs to the parent level at the end; first and last go to the ends
// of the level (or of the parent level when already there).
#ifndef DEMO_TREEMOVES_H
#define DEMO_TREEMOVES_H

#include <QModelIndex>

class QTreeView;

namespace demo {

enum class TreeMove { NextRecord, PriorRecord, NextPage, PriorPage, FirstPage, LastPage };

// The row the move lands on (expanding rows of `view` as needed); `from`
// itself when there is nowhere to go.
QModelIndex treeMoveTarget(QTreeView& view, const QModelIndex& from, TreeMove move);

}  // namespace demo

#endif
