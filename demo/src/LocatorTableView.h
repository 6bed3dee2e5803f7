// A table view whose type-ahead goes to a locator of the caller's: the
// letters typed within the keyboard interval are gathered and handed over
// as one prefix, so a list that is read in batches can find a row it has
// not read yet.
#ifndef DEMO_LOCATORTABLEVIEW_H
#define DEMO_LOCATORTABLEVIEW_H

#include <QElapsedTimer>
#include <QTableView>
#include <functional>

namespace demo {

class LocatorTableView : public QTableView {
    Q_OBJECT
public:
    using QTableView::QTableView;

    // Returns the row to go to for the prefix typed so far, or -1 to let the
    // view search its loaded rows itself. Unset: the view's own search.
    void setLocator(std::function<int(const QString& prefix)> locator) { locator_ = std::move(locator); }
    void keyboardSearch(const QString& search) override;
    // The next letter typed starts a new prefix.
    void resetLocator() { typed_.clear(); }

private:
    std::function<int(const QString&)> locator_;
    QString typed_;
    QElapsedTimer sinceLastKey_;
};

}  // namespace demo

#endif
