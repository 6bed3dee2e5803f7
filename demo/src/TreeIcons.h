// The three pictures of the group trees, drawn by the program itself:
// 1 the root, 2 a person, 3 a group.
#ifndef DEMO_TREEICONS_H
#define DEMO_TREEICONS_H

#include <QIcon>

namespace demo {

QIcon treeIcon(int iconNumber);

}  // namespace demo

#endif
