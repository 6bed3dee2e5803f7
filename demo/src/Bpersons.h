// The contacts window "Adresses": the tree of groups and members, the list of
// all persons and the list of the selected person's groups, with the record
// forms behind their buttons and drag and drop between them. The tree is
// rebuilt, keeping its selected row, whenever the window gains the focus and
// after every change made here.
#ifndef DEMO_BPERSONS_H
#define DEMO_BPERSONS_H

#include <QWidget>
#include <optional>

#include "GroupTreeModel.h"
#include "NavigationTarget.h"
#include "PersonsContext.h"
#include "TreeMoves.h"
#include "demo/data/Records.h"

class QListView;
class QMenu;
class QPushButton;
class QTabBar;
class QTreeView;

namespace demo {

class LocatorTableView;
class PersonGroupsModel;
class PersonListModel;

class Bpersons : public QWidget, public NavigationTarget {
    Q_OBJECT
public:
    explicit Bpersons(PersonsContext context, QWidget* parent = nullptr);
    ~Bpersons() override;

    // The tree's actions (buttons, pop-up menu, the frame's toolbar).
    void insertFromTree();
    void changeFromTree();
    void deleteFromTree();
    void expandAllGroups();
    void collapseAllGroups();
    void moveInTree(TreeMove move);
    // Rebuilds the tree and selects the row with the same level and record;
    // `select` names another row to select instead.
    void rebuildTree(std::optional<GroupTreeModel::RowKey> select = std::nullopt);

    // The frame's toolbar: moves through the list that had the focus last,
    // and its insert, change and delete act on that list; "Select This
    // Record" opens the change form of its selected row. "Locate record"
    // takes the user to the persons list's locator. While a record form is
    // open the buttons go to that form instead.
    void navigate(NavigationButton button) override;
    // Puts the persons list in e-mail order with the focus, ready for the
    // first letters of an address.
    void locate();
    // Names are shown anew, as after a change of the display-name option.
    void refreshNames();

    // The persons list's actions.
    void insertPerson();
    void changePerson();
    void deletePerson();
    // The actions of the list of the selected person's groups.
    void insertPersonGroup();
    void changePersonGroup();
    void deletePersonGroup();

    // What the frame's insert, change and delete buttons act on: the list
    // that had the focus last.
    enum class Area { Tree, Persons, PersonGroups };
    Area activeArea() const { return activeArea_; }
    void insertInActiveArea();
    void changeInActiveArea();
    void deleteInActiveArea();

    std::optional<data::Person> selectedPerson() const;
    // Selects the person's row, reading the list further as needed.
    bool selectPerson(qint16 number);

    QTreeView* tree() const { return tree_; }
    GroupTreeModel* treeModel() const { return treeModel_; }
    LocatorTableView* personsView() const { return personsView_; }
    PersonListModel* personsModel() const { return personsModel_; }
    QListView* personGroupsView() const { return personGroupsView_; }
    PersonGroupsModel* personGroupsModel() const { return personGroupsModel_; }
    QTabBar* orderTabs() const { return orderTabs_; }
    QMenu* treeMenu() const { return treeMenu_; }
    QPushButton* treeInsertButton() const { return treeInsert_; }
    QPushButton* treeChangeButton() const { return treeChange_; }
    QPushButton* treeDeleteButton() const { return treeDelete_; }

private:
    void buildLayout();
    void connectViews();
    void restoreExpansion();
    void updateButtons();
    void showPersonsOrder(int tab);
    void personsChanged(std::optional<qint16> select);
    void addPersonToGroup(qint16 personNumber, qint16 groupNumber);
    void addSelectedPersonToGroup(qint16 groupNumber);
    void focusMoved(QWidget* from, QWidget* to);
    void moveInPersons(NavigationButton button);
    void moveInPersonGroups(NavigationButton button);
    // Reloads the person's groups, selecting the row of `selectGroup` if it has one.
    void reloadPersonGroups(qint16 selectGroup);
    void moveInArea(Area area, NavigationButton button);
    // One change form on the selected row of the area; the move it was left
    // with, if any.
    std::optional<NavigationButton> changeTreeRowOnce();
    std::optional<NavigationButton> changePersonOnce();
    std::optional<NavigationButton> changePersonGroupOnce();
    // While a form is left with a move: make that move in the area and open
    // the change form again on the row it lands on.
    void followFormMoves(Area area, std::optional<NavigationButton> leftWith);
    GroupTreeModel::RowKey selectedTreeKey() const;

    PersonsContext context_;
    GroupTreeModel* treeModel_;
    PersonListModel* personsModel_;
    PersonGroupsModel* personGroupsModel_;
    QTreeView* tree_ = nullptr;
    LocatorTableView* personsView_ = nullptr;
    QListView* personGroupsView_ = nullptr;
    QTabBar* orderTabs_ = nullptr;
    QMenu* treeMenu_ = nullptr;
    QPushButton* treeInsert_ = nullptr;
    QPushButton* treeChange_ = nullptr;
    QPushButton* treeDelete_ = nullptr;
    QPushButton* personChange_ = nullptr;
    QPushButton* personDelete_ = nullptr;
    QPushButton* groupInsert_ = nullptr;
    QPushButton* groupChange_ = nullptr;
    QPushButton* groupDelete_ = nullptr;
    Area activeArea_ = Area::Tree;
};

}  // namespace demo

#endif
