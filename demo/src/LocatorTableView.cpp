#include "LocatorTableView.h"

#include <QApplication>

namespace demo {

void LocatorTableView::keyboardSearch(const QString& search)
{
    if (!locator_) return QTableView::keyboardSearch(search);
    if (!sinceLastKey_.isValid() || sinceLastKey_.elapsed() > QApplication::keyboardInputInterval()) typed_.clear();
    sinceLastKey_.start();
    typed_ += search;
    const int row = locator_(typed_);
    if (row < 0) return;
    const QModelIndex target = model()->index(row, 0);
    setCurrentIndex(target);
    scrollTo(target);
}

}  // namespace demo
