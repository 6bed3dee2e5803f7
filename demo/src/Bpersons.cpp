#include "Bpersons.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QKeySequence>
#include <QLabel>
#include <QListView>
#include <QMenu>
#include <QPushButton>
#include <QShortcut>
#include <QTabBar>
#include <QTreeView>
#include <QVBoxLayout>
#include <limits>
#include <map>

#include "ChildWindow.h"
#include "FGroup.h"
#include "FGroupPerson.h"
#include "FPerson.h"
#include "FPersonGroup.h"
#include "LocatorTableView.h"
#include "PersonGroupsModel.h"
#include "PersonListModel.h"
#include "RecordForm.h"
#include "RecordMessages.h"
#include "demo/data/DataError.h"
#include "demo/data/GroupPersonTable.h"
#include "demo/data/GroupTable.h"
#include "demo/data/PersonsTable.h"

namespace demo {

namespace {

QPushButton* button(const QString& text, const QString& tip)
{
    auto* pushButton = new QPushButton(text);
    pushButton->setToolTip(tip);
    pushButton->setStatusTip(tip);
    return pushButton;
}

QHBoxLayout* row(std::initializer_list<QWidget*> widgets)
{
    auto* layout = new QHBoxLayout;
    for (QWidget* widget : widgets) layout->addWidget(widget);
    layout->addStretch();
    return layout;
}

}  // namespace

Bpersons::Bpersons(PersonsContext context, QWidget* parent)
    : QWidget(parent),
      context_(std::move(context)),
      treeModel_(new GroupTreeModel(context_.database, context_.lastNameFirst, this)),
      personsModel_(new PersonListModel(context_.database, context_.lastNameFirst, this)),
      personGroupsModel_(new PersonGroupsModel(context_.database, this))
{
    setWindowTitle(QStringLiteral("Adresses"));
    buildLayout();
    connectViews();
    // The model has just read the tree; only the view's state is missing.
    restoreExpansion();
    tree_->setCurrentIndex(treeModel_->rootIndex());
    if (personsModel_->rowCount() > 0) personsView_->selectRow(0);
    updateButtons();
}

Bpersons::~Bpersons()
{
    // Taking down the child widgets moves the focus; by then this is no
    // longer a Bpersons and must not hear of it.
    disconnect(qApp, nullptr, this, nullptr);
}

void Bpersons::buildLayout()
{
    auto* collapse = button(QStringLiteral("Boom inklappen"), QStringLiteral("Collapse all groups"));
    auto* expand = button(QStringLiteral("Boom uitklappen"), QStringLiteral("Expand all groups"));
    connect(collapse, &QPushButton::clicked, this, &Bpersons::collapseAllGroups);
    connect(expand, &QPushButton::clicked, this, &Bpersons::expandAllGroups);

    tree_ = new QTreeView;
    tree_->setModel(treeModel_);
    tree_->setHeaderHidden(true);
    tree_->setToolTip(QStringLiteral("You can drag a group to a person"));
    tree_->setContextMenuPolicy(Qt::CustomContextMenu);
    tree_->setUniformRowHeights(true);
    treeInsert_ = button(QStringLiteral("&Insert"), QStringLiteral("Add a group, or a member to the selected group"));
    treeChange_ = button(QStringLiteral("&Change"), QStringLiteral("Change the selected group or member"));
    treeDelete_ = button(QStringLiteral("&Delete"), QStringLiteral("Delete the selected group or member"));
    auto* treeLabel = new QLabel(QStringLiteral("Groups"));
    treeLabel->setBuddy(tree_);

    orderTabs_ = new QTabBar;
    orderTabs_->addTab(QStringLiteral("Name"));
    orderTabs_->addTab(QStringLiteral("Emailaddress"));
    personsView_ = new LocatorTableView;
    personsView_->setModel(personsModel_);
    personsView_->setToolTip(QStringLiteral("You can drag a person into a group"));
    personsView_->setSelectionBehavior(QAbstractItemView::SelectRows);
    personsView_->setSelectionMode(QAbstractItemView::SingleSelection);
    personsView_->verticalHeader()->hide();
    personsView_->verticalHeader()->setDefaultSectionSize(personsView_->fontMetrics().height() + 6);
    personsView_->horizontalHeader()->setStretchLastSection(true);
    personsView_->setColumnWidth(PersonListModel::NameColumn, 220);
    personsView_->setWordWrap(false);
    auto* personInsert = button(QStringLiteral("&Insert"), QStringLiteral("Add a person"));
    personChange_ = button(QStringLiteral("&Change"), QStringLiteral("Change the selected person"));
    personDelete_ = button(QStringLiteral("&Delete"), QStringLiteral("Delete the selected person"));
    connect(personInsert, &QPushButton::clicked, this, &Bpersons::insertPerson);
    connect(personChange_, &QPushButton::clicked, this, &Bpersons::changePerson);
    connect(personDelete_, &QPushButton::clicked, this, &Bpersons::deletePerson);

    personGroupsView_ = new QListView;
    personGroupsView_->setModel(personGroupsModel_);
    personGroupsView_->setToolTip(QStringLiteral("Group(s) related with persons"));
    auto* groupsLabel = new QLabel(QStringLiteral("Group(s) related to this person:"));
    groupsLabel->setBuddy(personGroupsView_);
    groupInsert_ = button(QStringLiteral("&Insert"), QStringLiteral("Add the selected person to a group"));
    groupChange_ = button(QStringLiteral("&Change"), QStringLiteral("Move the selected person to another group"));
    groupDelete_ = button(QStringLiteral("&Delete"), QStringLiteral("Take the selected person out of this group"));
    connect(groupInsert_, &QPushButton::clicked, this, &Bpersons::insertPersonGroup);
    connect(groupChange_, &QPushButton::clicked, this, &Bpersons::changePersonGroup);
    connect(groupDelete_, &QPushButton::clicked, this, &Bpersons::deletePersonGroup);

    auto* closeButton = button(QStringLiteral("Close"), QStringLiteral("Close window"));
    connect(closeButton, &QPushButton::clicked, this, [this] { closeChildWindow(this); });

    auto* treeColumn = new QVBoxLayout;
    treeColumn->addLayout(row({collapse, expand}));
    treeColumn->addWidget(treeLabel);
    treeColumn->addWidget(tree_, 1);
    treeColumn->addLayout(row({treeInsert_, treeChange_, treeDelete_}));

    auto* personsColumn = new QVBoxLayout;
    personsColumn->addWidget(orderTabs_);
    personsColumn->addWidget(personsView_, 3);
    personsColumn->addLayout(row({personInsert, personChange_, personDelete_}));
    personsColumn->addWidget(groupsLabel);
    personsColumn->addWidget(personGroupsView_, 1);
    personsColumn->addLayout(row({groupInsert_, groupChange_, groupDelete_}));

    auto* columns = new QHBoxLayout;
    columns->addLayout(treeColumn, 2);
    columns->addLayout(personsColumn, 3);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(columns);
    auto* closeRow = new QHBoxLayout;
    closeRow->addStretch();
    closeRow->addWidget(closeButton);
    layout->addLayout(closeRow);

    treeMenu_ = new QMenu(this);
    connect(treeMenu_->addAction(QStringLiteral("&Insert")), &QAction::triggered, this, &Bpersons::insertFromTree);
    connect(treeMenu_->addAction(QStringLiteral("&Change")), &QAction::triggered, this, &Bpersons::changeFromTree);
    connect(treeMenu_->addAction(QStringLiteral("&Delete")), &QAction::triggered, this, &Bpersons::deleteFromTree);
    connect(treeInsert_, &QPushButton::clicked, this, &Bpersons::insertFromTree);
    connect(treeChange_, &QPushButton::clicked, this, &Bpersons::changeFromTree);
    connect(treeDelete_, &QPushButton::clicked, this, &Bpersons::deleteFromTree);
    resize(820, 560);
}

void Bpersons::connectViews()
{
    for (QAbstractItemView* view : {static_cast<QAbstractItemView*>(tree_), static_cast<QAbstractItemView*>(personsView_)}) {
        view->setDragEnabled(true);
        view->setDragDropMode(QAbstractItemView::DragDrop);
    }
    personGroupsView_->setDragEnabled(true);
    personGroupsView_->setDragDropMode(QAbstractItemView::DragDrop);
    for (QAbstractItemView* view : {static_cast<QAbstractItemView*>(tree_), static_cast<QAbstractItemView*>(personsView_),
                                    static_cast<QAbstractItemView*>(personGroupsView_)}) {
        view->setAcceptDrops(true);
        view->setDropIndicatorShown(true);
        view->setDefaultDropAction(Qt::CopyAction);
        // Drops land on a row, never between rows.
        view->setDragDropOverwriteMode(true);
    }

    connect(tree_, &QTreeView::expanded, this,
            [this](const QModelIndex& index) { treeModel_->setGroupExpanded(treeModel_->groupNumberOf(index), true); });
    connect(tree_, &QTreeView::collapsed, this, [this](const QModelIndex& index) {
        if (GroupTreeModel::levelOf(index) == GroupTreeModel::GroupLevel)
            treeModel_->setGroupExpanded(treeModel_->groupNumberOf(index), false);
    });
    connect(tree_->selectionModel(), &QItemSelectionModel::currentChanged, this, &Bpersons::updateButtons);
    connect(tree_, &QTreeView::doubleClicked, this, [this](const QModelIndex&) { changeFromTree(); });
    connect(tree_, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
        updateButtons();
        treeMenu_->popup(tree_->viewport()->mapToGlobal(at));
    });
    auto* expandKey = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_Right), tree_);
    expandKey->setContext(Qt::WidgetShortcut);
    connect(expandKey, &QShortcut::activated, this, [this] { tree_->expand(tree_->currentIndex()); });
    auto* collapseKey = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_Left), tree_);
    collapseKey->setContext(Qt::WidgetShortcut);
    connect(collapseKey, &QShortcut::activated, this, [this] { tree_->collapse(tree_->currentIndex()); });
    connect(treeModel_, &GroupTreeModel::personDropped, this, &Bpersons::addPersonToGroup);

    connect(orderTabs_, &QTabBar::currentChanged, this, &Bpersons::showPersonsOrder);
    personsView_->setLocator([this](const QString& prefix) { return personsModel_->locateEmail(prefix); });
    connect(personsView_->selectionModel(), &QItemSelectionModel::currentRowChanged, this, [this] {
        const auto person = selectedPerson();
        personGroupsModel_->showPerson(person ? person->number : 0);
        updateButtons();
    });
    // A reset drops the view's current row; the groups list must follow.
    connect(personsModel_, &QAbstractItemModel::modelReset, this, [this] {
        personGroupsModel_->showPerson(0);
        updateButtons();
    });
    connect(personGroupsView_->selectionModel(), &QItemSelectionModel::currentRowChanged, this, &Bpersons::updateButtons);
    connect(personGroupsModel_, &QAbstractItemModel::modelReset, this, &Bpersons::updateButtons);
    connect(personsModel_, &PersonListModel::groupDropped, this, &Bpersons::addSelectedPersonToGroup);
    connect(personGroupsModel_, &PersonGroupsModel::groupDropped, this, &Bpersons::addSelectedPersonToGroup);
    connect(qApp, &QApplication::focusChanged, this, &Bpersons::focusMoved);
}

void Bpersons::focusMoved(QWidget* from, QWidget* to)
{
    if (!to || !isAncestorOf(to)) return;
    if (to == tree_ || tree_->isAncestorOf(to)) activeArea_ = Area::Tree;
    if (to == personsView_ || personsView_->isAncestorOf(to)) activeArea_ = Area::Persons;
    if (to == personGroupsView_ || personGroupsView_->isAncestorOf(to)) activeArea_ = Area::PersonGroups;
    // Other windows (a form, an import) may have changed persons, groups and
    // members meanwhile: the tree and the persons list both show the files anew.
    if (!from || !isAncestorOf(from)) personsChanged(std::nullopt);
}

GroupTreeModel::RowKey Bpersons::selectedTreeKey() const { return treeModel_->keyOf(tree_->currentIndex()); }

void Bpersons::restoreExpansion()
{
    const QModelIndex root = treeModel_->rootIndex();
    tree_->expand(root);
    const int groups = treeModel_->rowCount(root);
    for (int row = 0; row < groups; ++row) {
        const QModelIndex group = treeModel_->index(row, 0, root);
        if (treeModel_->isGroupExpanded(treeModel_->groupNumberOf(group))) tree_->expand(group);
    }
}

void Bpersons::rebuildTree(std::optional<GroupTreeModel::RowKey> select)
{
    const bool hadSelection = tree_->currentIndex().isValid();
    const GroupTreeModel::RowKey key = select.value_or(selectedTreeKey());
    treeModel_->rebuild();
    restoreExpansion();
    QModelIndex target = treeModel_->indexOf(key);
    // A row that went away (a deleted member, say) leaves its group selected.
    if (!target.isValid() && key.level == GroupTreeModel::MemberLevel)
        target = treeModel_->groupIndex(key.record.groupNumber);
    if (!target.isValid() && (hadSelection || select)) target = treeModel_->rootIndex();
    if (target.isValid()) tree_->setCurrentIndex(target);
    updateButtons();
}

void Bpersons::expandAllGroups()
{
    const GroupTreeModel::RowKey key = selectedTreeKey();
    treeModel_->rebuildAllExpanded();
    restoreExpansion();
    tree_->setCurrentIndex(treeModel_->indexOf(key));
    updateButtons();
}

void Bpersons::collapseAllGroups()
{
    GroupTreeModel::RowKey key = selectedTreeKey();
    // A member row disappears with its group; keep the group selected.
    if (key.level == GroupTreeModel::MemberLevel) key = {GroupTreeModel::GroupLevel, {0, key.record.groupNumber}};
    treeModel_->rebuildAllCollapsed();
    restoreExpansion();
    tree_->setCurrentIndex(treeModel_->indexOf(key));
    updateButtons();
}

void Bpersons::updateButtons()
{
    const int level = GroupTreeModel::levelOf(tree_->currentIndex());
    treeInsert_->setEnabled(level >= 0);
    treeChange_->setEnabled(level > 0);
    treeDelete_->setEnabled(level > 0);
    const QList<QAction*> actions = treeMenu_->actions();
    for (int i = 0; i < actions.size(); ++i)
        actions[i]->setEnabled((i == 0 ? treeInsert_ : i == 1 ? treeChange_ : treeDelete_)->isEnabled());
    const bool person = selectedPerson().has_value();
    personChange_->setEnabled(person);
    personDelete_->setEnabled(person);
    groupInsert_->setEnabled(person);
    const bool membership = person && personGroupsView_->currentIndex().isValid();
    groupChange_->setEnabled(membership);
    groupDelete_->setEnabled(membership);
}

void Bpersons::insertFromTree()
{
    if (!treeInsert_->isEnabled()) return;
    const QModelIndex current = tree_->currentIndex();
    if (GroupTreeModel::levelOf(current) == GroupTreeModel::RootLevel) {
        data::Group group;
        std::optional<NavigationButton> leftWith;
        if (FGroup::run(context_, FormRequest::Insert, group, this, &leftWith) != FormOutcome::Completed) return;
        rebuildTree(GroupTreeModel::RowKey{GroupTreeModel::GroupLevel, {0, group.number}});
        return followFormMoves(Area::Tree, leftWith);
    }
    const auto group = data::GroupTable(context_.database).fetch(treeModel_->groupNumberOf(current));
    if (!group) return rebuildTree();  // removed by another station meanwhile
    data::Membership membership{0, group->number};
    std::optional<NavigationButton> leftWith;
    if (FGroupPerson::run(context_, FormRequest::Insert, membership, this, &leftWith) != FormOutcome::Completed)
        return;
    treeModel_->setGroupExpanded(membership.groupNumber, true);
    rebuildTree(GroupTreeModel::RowKey{GroupTreeModel::MemberLevel, membership});
    personsChanged(std::nullopt);
    followFormMoves(Area::Tree, leftWith);
}

void Bpersons::changeFromTree() { followFormMoves(Area::Tree, changeTreeRowOnce()); }

std::optional<NavigationButton> Bpersons::changeTreeRowOnce()
{
    const GroupTreeModel::RowKey key = selectedTreeKey();
    if (!treeChange_->isEnabled() || key.level == GroupTreeModel::RootLevel) return std::nullopt;
    std::optional<NavigationButton> leftWith;
    if (key.level == GroupTreeModel::GroupLevel) {
        auto group = data::GroupTable(context_.database).fetch(key.record.groupNumber);
        if (!group) {
            rebuildTree();
            return std::nullopt;
        }
        if (FGroup::run(context_, FormRequest::Change, *group, this, &leftWith) != FormOutcome::Completed)
            return std::nullopt;
        rebuildTree(GroupTreeModel::RowKey{GroupTreeModel::GroupLevel, {0, group->number}});
    } else {
        data::Membership membership = key.record;
        if (FGroupPerson::run(context_, FormRequest::Change, membership, this, &leftWith) != FormOutcome::Completed)
            return std::nullopt;
        treeModel_->setGroupExpanded(membership.groupNumber, true);
        rebuildTree(GroupTreeModel::RowKey{GroupTreeModel::MemberLevel, membership});
    }
    personsChanged(std::nullopt);
    return leftWith;
}

void Bpersons::followFormMoves(Area area, std::optional<NavigationButton> leftWith)
{
    while (leftWith) {
        moveInArea(area, *leftWith);
        // On the tree the row decides the form (a group's or a member's);
        // the root row has none, and the walk ends there.
        leftWith = area == Area::Tree      ? changeTreeRowOnce()
                   : area == Area::Persons ? changePersonOnce()
                                           : changePersonGroupOnce();
    }
}

void Bpersons::moveInArea(Area area, NavigationButton button)
{
    static const std::map<NavigationButton, TreeMove> moves = {
        {NavigationButton::FirstPage, TreeMove::FirstPage},     {NavigationButton::PriorPage, TreeMove::PriorPage},
        {NavigationButton::PriorRecord, TreeMove::PriorRecord}, {NavigationButton::NextRecord, TreeMove::NextRecord},
        {NavigationButton::NextPage, TreeMove::NextPage},       {NavigationButton::LastPage, TreeMove::LastPage}};
    if (area == Area::Persons) return moveInPersons(button);
    if (area == Area::PersonGroups) return moveInPersonGroups(button);
    if (const auto move = moves.find(button); move != moves.end()) moveInTree(move->second);
}

void Bpersons::deleteFromTree()
{
    const GroupTreeModel::RowKey key = selectedTreeKey();
    if (!treeChange_->isEnabled() || !treeDelete_->isEnabled() || key.level == GroupTreeModel::RootLevel) return;
    FormOutcome outcome;
    if (key.level == GroupTreeModel::GroupLevel) {
        auto group = data::GroupTable(context_.database).fetch(key.record.groupNumber);
        if (!group) return rebuildTree();
        outcome = FGroup::run(context_, FormRequest::Delete, *group, this);
    } else {
        data::Membership membership = key.record;
        outcome = FGroupPerson::run(context_, FormRequest::Delete, membership, this);
    }
    if (outcome != FormOutcome::Completed) return;
    rebuildTree();
    personGroupsModel_->reload();
}

void Bpersons::moveInTree(TreeMove move)
{
    const QModelIndex target = treeMoveTarget(*tree_, tree_->currentIndex(), move);
    tree_->setCurrentIndex(target);
    tree_->scrollTo(target);
}

void Bpersons::navigate(NavigationButton button)
{
    // A form runs modally on top of this window: it is the one being worked
    // in. Forms live only while their run() does, as children of this window.
    const QList<RecordForm*> forms = findChildren<RecordForm*>(Qt::FindDirectChildrenOnly);
    if (!forms.isEmpty()) {
        forms.back()->navigate(button);
        return;
    }
    switch (button) {
    case NavigationButton::Insert: return insertInActiveArea();
    case NavigationButton::Change:
    case NavigationButton::Select: return changeInActiveArea();
    case NavigationButton::Delete: return deleteInActiveArea();
    case NavigationButton::Locate: return locate();
    case NavigationButton::FirstPage:
    case NavigationButton::PriorPage:
    case NavigationButton::PriorRecord:
    case NavigationButton::NextRecord:
    case NavigationButton::NextPage:
    case NavigationButton::LastPage: return moveInArea(activeArea_, button);
    default: return;  // "Previous value" and "Get Help" mean nothing outside a form
    }
}

void Bpersons::locate()
{
    // Only the e-mail order has a locator.
    orderTabs_->setCurrentIndex(1);
    personsView_->resetLocator();
    personsView_->setFocus(Qt::ShortcutFocusReason);
    activeArea_ = Area::Persons;
}

namespace {

// The row a list move lands on, for a list of `count` rows of which `page` fit.
int listMoveTarget(int row, int count, int page, NavigationButton button)
{
    switch (button) {
    case NavigationButton::FirstPage: row = 0; break;
    case NavigationButton::PriorPage: row -= page; break;
    case NavigationButton::PriorRecord: row -= 1; break;
    case NavigationButton::NextRecord: row += 1; break;
    case NavigationButton::NextPage: row += page; break;
    case NavigationButton::LastPage: row = count - 1; break;
    default: break;
    }
    return qBound(0, row, count - 1);
}

int rowsPerPage(const QAbstractItemView& view, int rowHeight)
{
    return qMax(1, view.viewport()->height() / qMax(1, rowHeight));
}

}  // namespace

void Bpersons::moveInPersonGroups(NavigationButton button)
{
    const int count = personGroupsModel_->rowCount();
    if (count == 0) return;
    const int row = listMoveTarget(personGroupsView_->currentIndex().row(), count,
                                   rowsPerPage(*personGroupsView_, personGroupsView_->sizeHintForRow(0)), button);
    personGroupsView_->setCurrentIndex(personGroupsModel_->index(row, 0));
}

void Bpersons::moveInPersons(NavigationButton button)
{
    const int page = rowsPerPage(*personsView_, personsView_->verticalHeader()->defaultSectionSize());
    const int current = personsView_->currentIndex().row();
    // The view asks for the next batch only when it scrolls to the end, so
    // the rows a move needs are read here.
    const int needed = button == NavigationButton::LastPage   ? std::numeric_limits<int>::max()
                       : button == NavigationButton::NextPage ? current + page
                                                              : current + 1;
    while (needed >= personsModel_->rowCount() && personsModel_->canFetchMore({})) personsModel_->fetchMore({});
    if (personsModel_->rowCount() == 0) return;
    const int row = listMoveTarget(current, personsModel_->rowCount(), page, button);
    personsView_->selectRow(row);
    personsView_->scrollTo(personsModel_->index(row, 0));
}

void Bpersons::refreshNames() { personsChanged(std::nullopt); }

std::optional<data::Person> Bpersons::selectedPerson() const
{
    const QModelIndex current = personsView_->currentIndex();
    return current.isValid() ? personsModel_->personAt(current.row()) : std::nullopt;
}

bool Bpersons::selectPerson(qint16 number)
{
    const int row = personsModel_->rowOfPerson(number);
    if (row < 0) return false;
    personsView_->selectRow(row);
    personsView_->scrollTo(personsModel_->index(row, 0));
    return true;
}

void Bpersons::showPersonsOrder(int tab)
{
    const auto person = selectedPerson();
    personsModel_->setOrder(tab == 1 ? data::PersonsTable::Order::EmailAddress : data::PersonsTable::Order::Number);
    if (!person || !selectPerson(person->number))
        if (personsModel_->rowCount() > 0) personsView_->selectRow(0);
}

// The tree first, so that it shows the change before the lists reload.
void Bpersons::personsChanged(std::optional<qint16> select)
{
    rebuildTree();
    const auto person = selectedPerson();
    personsModel_->reload();
    const std::optional<qint16> wanted = select ? select : person ? std::optional<qint16>(person->number) : std::nullopt;
    if (!wanted || !selectPerson(*wanted))
        if (personsModel_->rowCount() > 0) personsView_->selectRow(0);
}

void Bpersons::insertPerson()
{
    data::Person person;
    std::optional<NavigationButton> leftWith;
    const FormOutcome outcome = FPerson::run(context_, FormRequest::Insert, person, this, &leftWith);
    personsChanged(outcome == FormOutcome::Completed ? std::optional<qint16>(person.number) : std::nullopt);
    followFormMoves(Area::Persons, leftWith);
}

void Bpersons::changePerson() { followFormMoves(Area::Persons, changePersonOnce()); }

std::optional<NavigationButton> Bpersons::changePersonOnce()
{
    const auto selected = selectedPerson();
    if (!selected) return std::nullopt;
    // The form starts from the stored record, not from the list's copy.
    auto person = data::PersonsTable(context_.database).fetch(selected->number);
    if (!person) {
        personsChanged(std::nullopt);
        return std::nullopt;
    }
    std::optional<NavigationButton> leftWith;
    FPerson::run(context_, FormRequest::Change, *person, this, &leftWith);
    personsChanged(person->number);
    return leftWith;
}

void Bpersons::deletePerson()
{
    auto person = selectedPerson();
    if (!person) return;
    FPerson::run(context_, FormRequest::Delete, *person, this);
    personsChanged(std::nullopt);
}

void Bpersons::insertPersonGroup()
{
    const auto person = selectedPerson();
    if (!person) return;
    data::Membership membership{person->number, 0};
    std::optional<NavigationButton> leftWith;
    const FormOutcome outcome = FPersonGroup::run(context_, FormRequest::Insert, membership, this, &leftWith);
    rebuildTree();
    reloadPersonGroups(outcome == FormOutcome::Completed ? membership.groupNumber : 0);
    followFormMoves(Area::PersonGroups, leftWith);
}

void Bpersons::changePersonGroup() { followFormMoves(Area::PersonGroups, changePersonGroupOnce()); }

std::optional<NavigationButton> Bpersons::changePersonGroupOnce()
{
    auto membership = personGroupsModel_->membershipAt(personGroupsView_->currentIndex().row());
    if (!membership) return std::nullopt;
    std::optional<NavigationButton> leftWith;
    FPersonGroup::run(context_, FormRequest::Change, *membership, this, &leftWith);
    rebuildTree();
    // The membership may now name another group: its row is the one to stay on.
    reloadPersonGroups(membership->groupNumber);
    return leftWith;
}

void Bpersons::reloadPersonGroups(qint16 selectGroup)
{
    personGroupsModel_->reload();
    const int row = personGroupsModel_->rowOfGroup(selectGroup);
    if (row >= 0) personGroupsView_->setCurrentIndex(personGroupsModel_->index(row, 0));
}

void Bpersons::deletePersonGroup()
{
    auto membership = personGroupsModel_->membershipAt(personGroupsView_->currentIndex().row());
    if (!membership) return;
    FPersonGroup::run(context_, FormRequest::Delete, *membership, this);
    rebuildTree();
    personGroupsModel_->reload();
}

void Bpersons::insertInActiveArea()
{
    activeArea_ == Area::Tree ? insertFromTree() : activeArea_ == Area::Persons ? insertPerson() : insertPersonGroup();
}

void Bpersons::changeInActiveArea()
{
    activeArea_ == Area::Tree ? changeFromTree() : activeArea_ == Area::Persons ? changePerson() : changePersonGroup();
}

void Bpersons::deleteInActiveArea()
{
    activeArea_ == Area::Tree ? deleteFromTree() : activeArea_ == Area::Persons ? deletePerson() : deletePersonGroup();
}

void Bpersons::addPersonToGroup(qint16 personNumber, qint16 groupNumber)
{
    if (groupNumber == 0 || !data::PersonsTable(context_.database).fetch(personNumber)) return;
    if (const data::DataError error = data::GroupPersonTable(context_.database).insert({personNumber, groupNumber}))
        showDataError(context_.host, error);
    rebuildTree();
    personGroupsModel_->reload();
}

void Bpersons::addSelectedPersonToGroup(qint16 groupNumber)
{
    if (const auto person = selectedPerson()) addPersonToGroup(person->number, groupNumber);
}

}  // namespace demo
