// The contacts window and its forms against a fresh SQLite file, every
// message box answered by the recording host services and every form filled
// in by the test instead of a user.
#include <QComboBox>
#include <QLineEdit>
#include <QListView>
#include <QMimeData>
#include <QTabBar>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolButton>
#include <QTest>
#include <QTreeView>
#include <functional>
#include <memory>

#include "Bpersons.h"
#include "DragIdentifiers.h"
#include "FGroupPerson.h"
#include "FPerson.h"
#include "FieldRecall.h"
#include "RecordForm.h"
#include "LocatorTableView.h"
#include "PersonGroupsModel.h"
#include "PersonListModel.h"
#include "RecordingHostServices.h"
#include "demo/data/ContactDatabase.h"
#include "demo/data/GroupPersonTable.h"
#include "demo/data/GroupTable.h"
#include "demo/data/PersonsTable.h"

using namespace demo;
using quillnet::RecordingHostServices;

class PersonsWindowTest : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void deletingGroupWithMembersIsRefused();
    void deletingPersonRemovesMembershipsFromTree();
    void drops_data();
    void drops();
    void duplicateDragIsRefused();
    void personWithoutLastNameIsNotOffered();
    void expandAllAndCollapseAllSurviveRebuild();
    void renamedGroupShowsInTree();
    void personsListReadsInBatches();
    void changeByOtherStationKeepsTypingForRecall();
    void insertsFromTreeSelectTheNewRow();
    void gainingFocusShowsOtherStationsChanges();
    void toolbarMovesThroughTree_data();
    void toolbarMovesThroughTree();
    void formMovesWalkTheTree();
    void formMovesWalkTheLists_data();
    void formMovesWalkTheLists();
    void locateAndSelect();
    void personGroupsOfferTheirGroup();

private:
    qint16 addPerson(const QString& first, const QString& last, const QString& email);
    qint16 addGroup(const QString& name);
    void addMember(qint16 person, qint16 group);
    int membershipCount(qint16 person, qint16 group) const;
    QStringList boxCaptions() const;
    QModelIndex treeRow(const GroupTreeModel::RowKey& key) const { return window_->treeModel()->indexOf(key); }
    static GroupTreeModel::RowKey groupKey(qint16 group) { return {GroupTreeModel::GroupLevel, {0, group}}; }
    std::unique_ptr<Bpersons> openWindow();
    // Forms run for real (exec), each opening played by the next step; a
    // step that leaves its form open fails the test and closes it.
    using Step = std::function<void(RecordForm&)>;
    void playForms(std::vector<Step> steps);
    static void press(RecordForm& form, NavigationButton button) { form.navigationButton(button)->click(); }

    std::unique_ptr<QTemporaryDir> folder_;
    std::unique_ptr<data::ContactDatabase> db_;
    std::unique_ptr<RecordingHostServices> host_;
    std::unique_ptr<PersonsContext> context_;
    // What the "user" does in the next form; then OK is pressed.
    std::function<void(QDialog&)> fillForm_;
    // Replaces fillForm_ and the OK press when set.
    std::function<int(QDialog&)> runForm_;
    std::vector<Step> steps_;
    size_t played_ = 0;
    std::unique_ptr<Bpersons> window_;
};

void PersonsWindowTest::init()
{
    folder_ = std::make_unique<QTemporaryDir>();
    data::DatabaseLocation location;
    location.sqliteFile = folder_->filePath(QStringLiteral("contacts.sqlite"));
    db_ = std::make_unique<data::ContactDatabase>(location);
    QVERIFY(!db_->open());
    host_ = std::make_unique<RecordingHostServices>();
    context_ = std::make_unique<PersonsContext>(PersonsContext{*db_, *host_, [] { return false; }, [this](QDialog& form) {
                                                                   if (runForm_) return runForm_(form);
                                                                   if (fillForm_) fillForm_(form);
                                                                   form.accept();
                                                                   return form.result();
                                                               }});
    fillForm_ = nullptr;
    runForm_ = nullptr;
}

void PersonsWindowTest::playForms(std::vector<Step> steps)
{
    steps_ = std::move(steps);
    played_ = 0;
    runForm_ = [this](QDialog& dialog) {
        auto& form = dynamic_cast<RecordForm&>(dialog);
        QTimer::singleShot(0, &form, [this, &form] {
            if (played_ < steps_.size()) steps_[played_](form);
            ++played_;
            if (form.isVisible()) {
                form.reject();
                QFAIL("a form stayed open after its step");
            }
        });
        return form.exec();
    };
}

void PersonsWindowTest::cleanup()
{
    window_.reset();
    context_.reset();
    db_.reset();
    folder_.reset();
}

std::unique_ptr<Bpersons> PersonsWindowTest::openWindow() { return std::make_unique<Bpersons>(*context_); }

qint16 PersonsWindowTest::addPerson(const QString& first, const QString& last, const QString& email)
{
    data::Person person;
    person.firstName = first;
    person.lastName = last;
    person.emailAddress = email;
    const data::DataError error = data::PersonsTable(*db_).insert(person);
    if (error) qFatal("person not added: %s", qPrintable(error.text));
    return person.number;
}

qint16 PersonsWindowTest::addGroup(const QString& name)
{
    data::Group group;
    group.name = name;
    if (data::GroupTable(*db_).insert(group)) qFatal("group not added");
    return group.number;
}

void PersonsWindowTest::addMember(qint16 person, qint16 group)
{
    if (data::GroupPersonTable(*db_).insert({person, group})) qFatal("membership not added");
}

int PersonsWindowTest::membershipCount(qint16 person, qint16 group) const
{
    int count = 0;
    for (const auto& membership : data::GroupPersonTable(*db_).ofGroup(group)) count += membership.personNumber == person;
    return count;
}

QStringList PersonsWindowTest::boxCaptions() const
{
    QStringList captions;
    for (const auto& box : host_->boxes()) captions << QString::fromStdString(box.caption);
    return captions;
}

void PersonsWindowTest::deletingGroupWithMembersIsRefused()
{
    const qint16 jan = addPerson("Jan", "Dijk", "jan@example.org");
    const qint16 friends = addGroup("Friends");
    addMember(jan, friends);
    window_ = openWindow();
    window_->tree()->setCurrentIndex(treeRow(groupKey(friends)));

    window_->deleteFromTree();

    QCOMPARE(boxCaptions(), (QStringList{"Confirm Delete", "Referential Integrity Delete Error"}));
    QCOMPARE(QString::fromStdString(host_->boxes().front().text),
             QStringLiteral("Are you sure you want to delete the highlighted record?"));
    QVERIFY(data::GroupTable(*db_).fetch(friends).has_value());
    QCOMPARE(membershipCount(jan, friends), 1);
    QVERIFY(treeRow(groupKey(friends)).isValid());
}

void PersonsWindowTest::deletingPersonRemovesMembershipsFromTree()
{
    const qint16 jan = addPerson("Jan", "Dijk", "jan@example.org");
    const qint16 piet = addPerson("Piet", "Puk", "piet@example.org");
    const qint16 friends = addGroup("Friends");
    const qint16 club = addGroup("Club");
    addMember(jan, friends);
    addMember(jan, club);
    addMember(piet, club);
    window_ = openWindow();
    window_->expandAllGroups();
    QVERIFY(window_->selectPerson(jan));
    QCOMPARE(window_->personGroupsModel()->rowCount(), 2);

    window_->deletePerson();

    QVERIFY(!data::PersonsTable(*db_).fetch(jan));
    QVERIFY(data::GroupPersonTable(*db_).groupsOf(jan).empty());
    GroupTreeModel* tree = window_->treeModel();
    QVERIFY(!treeRow({GroupTreeModel::MemberLevel, {jan, friends}}).isValid());
    QVERIFY(!treeRow({GroupTreeModel::MemberLevel, {jan, club}}).isValid());
    QVERIFY(treeRow({GroupTreeModel::MemberLevel, {piet, club}}).isValid());
    QVERIFY(!tree->hasChildren(treeRow(groupKey(friends))));
}

// Where a drag ends: 0 the row of group A, 1 a member row of group A, 2 the
// root row, 3 the persons list (a group dragged there), 4 the person's groups.
void PersonsWindowTest::drops_data()
{
    QTest::addColumn<int>("target");
    QTest::addColumn<int>("expectedInGroupB");
    QTest::addColumn<int>("expectedInGroupA");
    QTest::newRow("person on group row") << 0 << 0 << 1;
    QTest::newRow("person on member row") << 1 << 0 << 1;
    QTest::newRow("person on root adds nothing") << 2 << 0 << 0;
    QTest::newRow("group on persons list") << 3 << 1 << 0;
    QTest::newRow("group on person's groups") << 4 << 1 << 0;
}

void PersonsWindowTest::drops()
{
    QFETCH(int, target);
    QFETCH(int, expectedInGroupB);
    QFETCH(int, expectedInGroupA);
    const qint16 other = addPerson("Kees", "Bakker", "kees@example.org");
    const qint16 dragged = addPerson("Jan", "Dijk", "jan@example.org");
    const qint16 groupA = addGroup("A");
    const qint16 groupB = addGroup("B");
    addMember(other, groupA);
    window_ = openWindow();
    window_->expandAllGroups();
    QVERIFY(window_->selectPerson(dragged));

    bool dropped = false;
    if (target <= 2) {
        const QModelIndex row = target == 0   ? treeRow(groupKey(groupA))
                                : target == 1 ? treeRow({GroupTreeModel::MemberLevel, {other, groupA}})
                                              : window_->treeModel()->rootIndex();
        QVERIFY(row.isValid());
        std::unique_ptr<QMimeData> mime(window_->personsModel()->mimeData({window_->personsView()->currentIndex()}));
        dropped = window_->treeModel()->dropMimeData(mime.get(), Qt::CopyAction, -1, 0, row);
    } else {
        // The tree offers the group of whatever row is dragged.
        std::unique_ptr<QMimeData> mime(window_->treeModel()->mimeData({treeRow(groupKey(groupB))}));
        QAbstractItemModel* list = target == 3 ? static_cast<QAbstractItemModel*>(window_->personsModel())
                                               : window_->personGroupsModel();
        dropped = list->dropMimeData(mime.get(), Qt::CopyAction, -1, 0, QModelIndex());
    }

    QCOMPARE(dropped, expectedInGroupA + expectedInGroupB > 0);
    QCOMPARE(membershipCount(dragged, groupA), expectedInGroupA);
    QCOMPARE(membershipCount(dragged, groupB), expectedInGroupB);
    QCOMPARE(membershipCount(other, groupA), 1);
    QVERIFY(host_->boxes().empty());
    // The tree and the person's groups show the new member at once: as a
    // row of the open group A, as an expand mark on the closed group B.
    if (expectedInGroupA) QVERIFY(treeRow({GroupTreeModel::MemberLevel, {dragged, groupA}}).isValid());
    QCOMPARE(window_->treeModel()->hasChildren(treeRow(groupKey(groupB))), expectedInGroupB == 1);
    QCOMPARE(window_->personGroupsModel()->rowCount(), expectedInGroupA + expectedInGroupB);
}

void PersonsWindowTest::duplicateDragIsRefused()
{
    const qint16 jan = addPerson("Jan", "Dijk", "jan@example.org");
    const qint16 friends = addGroup("Friends");
    window_ = openWindow();
    std::unique_ptr<QMimeData> mime(numberMimeData(personNumberMimeType(), jan));
    const QModelIndex group = treeRow(groupKey(friends));

    window_->treeModel()->dropMimeData(mime.get(), Qt::CopyAction, -1, 0, group);
    window_->treeModel()->dropMimeData(mime.get(), Qt::CopyAction, -1, 0, treeRow(groupKey(friends)));

    QCOMPARE(membershipCount(jan, friends), 1);
    QCOMPARE(boxCaptions(), QStringList{"Duplicate Key Error"});
    QVERIFY(QString::fromStdString(host_->boxes().front().text).endsWith("GROPER:UniqueKey"));
}

void PersonsWindowTest::personWithoutLastNameIsNotOffered()
{
    const qint16 nameless = addPerson("Madonna", "", "m@example.org");
    const qint16 jan = addPerson("Jan", "Dijk", "jan@example.org");
    const qint16 friends = addGroup("Friends");
    window_ = openWindow();
    std::unique_ptr<QMimeData> mime(numberMimeData(personNumberMimeType(), nameless));
    QVERIFY(window_->treeModel()->dropMimeData(mime.get(), Qt::CopyAction, -1, 0, treeRow(groupKey(friends))));
    QCOMPARE(membershipCount(nameless, friends), 1);

    FGroupPerson form(*context_, FormRequest::Insert, {0, friends});
    QCOMPARE(form.personBox()->findData(int(nameless)), -1);
    const int janRow = form.personBox()->findData(int(jan));
    QVERIFY(janRow >= 0);
    // Choosing a person fills in the number and shows the address.
    form.personBox()->setCurrentIndex(janRow);
    QCOMPARE(form.personNumberEdit()->text(), QString::number(jan));
    QCOMPARE(form.emailEdit()->text(), QStringLiteral("jan@example.org"));
    // A number typed by hand is checked against the files before saving.
    form.groupNumberEdit()->setText("999");
    form.accept();
    QCOMPARE(form.result(), int(QDialog::Rejected));
    QCOMPARE(boxCaptions(), QStringList{"Field contents error"});
    QCOMPARE(membershipCount(jan, friends), 0);
}

void PersonsWindowTest::expandAllAndCollapseAllSurviveRebuild()
{
    const qint16 jan = addPerson("Jan", "Dijk", "jan@example.org");
    const qint16 friends = addGroup("Friends");
    const qint16 club = addGroup("Club");
    const qint16 empty = addGroup("Empty");
    addMember(jan, friends);
    addMember(jan, club);
    window_ = openWindow();
    QTreeView* tree = window_->tree();
    QVERIFY(!tree->isExpanded(treeRow(groupKey(friends))));
    QCOMPARE(treeRow(groupKey(friends)).data(GroupTreeModel::SignedLevelRole).toInt(), -1);
    QCOMPARE(treeRow(groupKey(empty)).data(GroupTreeModel::SignedLevelRole).toInt(), 1);

    for (const bool expand : {true, false, true}) {
        expand ? window_->expandAllGroups() : window_->collapseAllGroups();
        for (int pass = 0; pass < 2; ++pass) {
            for (const qint16 group : {friends, club}) {
                QCOMPARE(tree->isExpanded(treeRow(groupKey(group))), expand);
                QCOMPARE(treeRow({GroupTreeModel::MemberLevel, {jan, group}}).isValid(), expand);
            }
            QVERIFY(!window_->treeModel()->hasChildren(treeRow(groupKey(empty))));
            window_->rebuildTree();  // as when the window gains the focus
        }
    }
}

void PersonsWindowTest::renamedGroupShowsInTree()
{
    const qint16 friends = addGroup("Friends");
    addGroup("Club");
    window_ = openWindow();
    GroupTreeModel* model = window_->treeModel();
    QCOMPARE(treeRow(groupKey(friends)).row(), 1);  // after "Club"
    window_->tree()->setCurrentIndex(treeRow(groupKey(friends)));
    QString title;
    fillForm_ = [&](QDialog& form) {
        title = form.windowTitle();
        form.findChild<QLineEdit*>("name")->setText("Acquaintances");
    };

    window_->changeFromTree();

    QCOMPARE(title, QStringLiteral("Record will be Changed  (Friends)"));
    const QModelIndex renamed = treeRow(groupKey(friends));
    QCOMPARE(renamed.data().toString(), QStringLiteral("Acquaintances"));
    QCOMPARE(renamed.row(), 0);  // name order
    QCOMPARE(window_->tree()->currentIndex(), renamed);
    QCOMPARE(model->rowCount(model->rootIndex()), 2);
}

void PersonsWindowTest::personsListReadsInBatches()
{
    constexpr int Persons = 2 * PersonListModel::BatchSize + 10;
    QVERIFY(!db_->inTransaction([&] {
        for (int i = 0; i < Persons; ++i) {
            data::Person person;
            person.lastName = QStringLiteral("P%1").arg(i);
            person.emailAddress = QStringLiteral("p%1@example.org").arg(Persons - i, 4, 10, QLatin1Char('0'));
            if (data::DataError error = data::PersonsTable(*db_).insert(person)) return error;
        }
        return data::DataError{};
    }));
    PersonListModel model(*db_, [] { return false; });
    QCOMPARE(model.rowCount(), PersonListModel::BatchSize);
    QVERIFY(model.canFetchMore({}));
    model.fetchMore({});
    QCOMPARE(model.rowCount(), 2 * PersonListModel::BatchSize);
    model.fetchMore({});
    QCOMPARE(model.rowCount(), Persons);
    QVERIFY(!model.canFetchMore({}));
    QCOMPARE(model.personAt(Persons - 1)->number, qint16(Persons));

    // The locator reads on to a row the view has not seen yet.
    model.setOrder(data::PersonsTable::Order::EmailAddress);
    QCOMPARE(model.rowCount(), PersonListModel::BatchSize);
    const int row = model.locateEmail(QStringLiteral("P0400"));
    QCOMPARE(row, 399);
    QCOMPARE(model.personAt(row)->emailAddress, QStringLiteral("p0400@example.org"));
    QCOMPARE(model.headerData(0, Qt::Horizontal, Qt::TextAlignmentRole).value<Qt::Alignment>(), Qt::AlignCenter);
}

void PersonsWindowTest::changeByOtherStationKeepsTypingForRecall()
{
    const qint16 jan = addPerson("Jan", "Dijk", "jan@example.org");
    const data::Person asRead = *data::PersonsTable(*db_).fetch(jan);
    FPerson form(*context_, FormRequest::Change, asRead);
    form.show();
    form.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&form));
    QCOMPARE(form.windowTitle(), QStringLiteral("Record will be Changed  (Jan Dijk)"));
    form.lastNameEdit()->setText("Dyke");
    {
        data::ContactDatabase otherStation(db_->location());
        QVERIFY(!otherStation.open());
        data::Person changed = asRead;
        changed.lastName = "Dijkstra";
        QVERIFY(!data::PersonsTable(otherStation).update(asRead, changed));
    }

    form.accept();

    QCOMPARE(form.result(), int(QDialog::Rejected));
    QCOMPARE(boxCaptions(), QStringList{"Record Was Not Updated"});
    QVERIFY(QString::fromStdString(host_->boxes().front().text).contains("Ctrl+' to recall your changes"));
    QCOMPARE(form.lastNameEdit()->text(), QStringLiteral("Dijkstra"));
    form.lastNameEdit()->setFocus();
    QTest::keyClick(&form, Qt::Key_Apostrophe, Qt::ControlModifier);
    QCOMPARE(form.lastNameEdit()->text(), QStringLiteral("Dyke"));
    // Saved on the second try over the other station's copy.
    form.accept();
    QCOMPARE(form.result(), int(QDialog::Accepted));
    QCOMPARE(data::PersonsTable(*db_).fetch(jan)->lastName, QStringLiteral("Dyke"));
}

void PersonsWindowTest::insertsFromTreeSelectTheNewRow()
{
    const qint16 jan = addPerson("Jan", "Dijk", "jan@example.org");
    window_ = openWindow();
    window_->tree()->setCurrentIndex(window_->treeModel()->rootIndex());
    QString title;
    fillForm_ = [&](QDialog& form) {
        title = form.windowTitle();
        form.findChild<QLineEdit*>("name")->setText("Club");
    };
    window_->insertFromTree();
    QCOMPARE(title, QStringLiteral("Record will be Added  (New)"));
    const auto groups = data::GroupTable(*db_).all(true);
    QCOMPARE(int(groups.size()), 1);
    const qint16 club = groups.front().number;
    QCOMPARE(window_->tree()->currentIndex(), treeRow(groupKey(club)));

    // Case does not make another name: refused, the form stays open.
    window_->tree()->setCurrentIndex(window_->treeModel()->rootIndex());
    fillForm_ = [](QDialog& form) { form.findChild<QLineEdit*>("name")->setText("CLUB"); };
    window_->insertFromTree();
    QCOMPARE(boxCaptions(), QStringList{"Duplicate Key Error"});
    QCOMPARE(int(data::GroupTable(*db_).all(true).size()), 1);

    // A member added from the group's row opens the group on the new row.
    window_->tree()->setCurrentIndex(treeRow(groupKey(club)));
    fillForm_ = [&](QDialog& form) {
        auto* people = form.findChild<QComboBox*>("person");
        people->setCurrentIndex(people->findData(int(jan)));
    };
    window_->insertFromTree();
    QCOMPARE(membershipCount(jan, club), 1);
    const QModelIndex member = treeRow({GroupTreeModel::MemberLevel, {jan, club}});
    QVERIFY(member.isValid());
    QCOMPARE(window_->tree()->currentIndex(), member);
    QCOMPARE(member.data().toString(), QStringLiteral("Jan Dijk"));
}

void PersonsWindowTest::gainingFocusShowsOtherStationsChanges()
{
    const qint16 club = addGroup("Club");
    window_ = openWindow();
    QLineEdit elsewhere;
    elsewhere.show();
    window_->show();
    window_->tree()->setCurrentIndex(treeRow(groupKey(club)));
    elsewhere.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&elsewhere));
    {
        data::ContactDatabase otherStation(db_->location());
        QVERIFY(!otherStation.open());
        data::Group group;
        group.name = "Acquaintances";
        QVERIFY(!data::GroupTable(otherStation).insert(group));
        data::Person person;
        person.lastName = "Puk";
        QVERIFY(!data::PersonsTable(otherStation).insert(person));
    }
    QCOMPARE(window_->treeModel()->rowCount(window_->treeModel()->rootIndex()), 1);
    QCOMPARE(window_->personsModel()->rowCount(), 0);

    window_->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(window_.get()));
    window_->tree()->setFocus();
    QTRY_COMPARE(window_->treeModel()->rowCount(window_->treeModel()->rootIndex()), 2);
    // Same row selected again, though it moved down below the new group.
    QCOMPARE(window_->tree()->currentIndex(), treeRow(groupKey(club)));
    QCOMPARE(window_->tree()->currentIndex().row(), 1);
    QCOMPARE(window_->personsModel()->rowCount(), 1);
}

void PersonsWindowTest::toolbarMovesThroughTree_data()
{
    QTest::addColumn<QString>("from");
    QTest::addColumn<int>("button");
    QTest::addColumn<QString>("to");
    using B = NavigationButton;
    // Group A is open (Ann, Bob), B closed over Cy, C has no members.
    QTest::newRow("next record opens a closed group") << "B" << int(B::NextRecord) << "Cy Gamma";
    QTest::newRow("next record leaves a group's last member") << "Bob Beta" << int(B::NextRecord) << "B";
    QTest::newRow("prior record opens the group above") << "C" << int(B::PriorRecord) << "Cy Gamma";
    QTest::newRow("prior record from a first member") << "Ann Alpha" << int(B::PriorRecord) << "A";
    QTest::newRow("next page stays on the level") << "Ann Alpha" << int(B::NextPage) << "Bob Beta";
    QTest::newRow("next page climbs at the end") << "Bob Beta" << int(B::NextPage) << "B";
    QTest::newRow("prior page climbs at the start") << "Ann Alpha" << int(B::PriorPage) << "A";
    QTest::newRow("first page of the level") << "C" << int(B::FirstPage) << "A";
    QTest::newRow("first page from the first row") << "A" << int(B::FirstPage) << "Groups";
    QTest::newRow("last page of the level") << "A" << int(B::LastPage) << "C";
    QTest::newRow("last page from a last member") << "Bob Beta" << int(B::LastPage) << "C";
}

void PersonsWindowTest::toolbarMovesThroughTree()
{
    QFETCH(QString, from);
    QFETCH(int, button);
    QFETCH(QString, to);
    const qint16 ann = addPerson("Ann", "Alpha", "ann@example.org");
    const qint16 bob = addPerson("Bob", "Beta", "bob@example.org");
    const qint16 cy = addPerson("Cy", "Gamma", "cy@example.org");
    const qint16 a = addGroup("A");
    const qint16 b = addGroup("B");
    addGroup("C");
    addMember(ann, a);
    addMember(bob, a);
    addMember(cy, b);
    window_ = openWindow();
    window_->treeModel()->setGroupExpanded(a, true);
    window_->rebuildTree();
    const QModelIndexList start = window_->treeModel()->match(window_->treeModel()->rootIndex(), Qt::DisplayRole, from,
                                                              1, Qt::MatchExactly | Qt::MatchRecursive);
    QCOMPARE(start.size(), 1);
    window_->tree()->setCurrentIndex(start.front());

    window_->navigate(NavigationButton(button));

    QCOMPARE(window_->tree()->currentIndex().data().toString(), to);
}

void PersonsWindowTest::formMovesWalkTheTree()
{
    const qint16 a = addGroup("A");
    const qint16 b = addGroup("B");
    const qint16 c = addGroup("C");
    window_ = openWindow();
    window_->tree()->setCurrentIndex(treeRow(groupKey(a)));
    QStringList titles;
    auto name = [](RecordForm& form) { return form.findChild<QLineEdit*>("name"); };
    playForms({
        [&](RecordForm& form) {
            titles << form.windowTitle();
            name(form)->setText("Aa");
            press(form, NavigationButton::NextPage);
        },
        [&](RecordForm& form) {
            titles << form.windowTitle();
            // A refused save keeps the form open on its record.
            name(form)->setText("AA");
            press(form, NavigationButton::NextPage);
            QVERIFY(form.isVisible());
            QCOMPARE(boxCaptions(), QStringList{"Duplicate Key Error"});
            name(form)->setText("Bb");
            press(form, NavigationButton::NextPage);
        },
        [&](RecordForm& form) {
            titles << form.windowTitle();
            // The form's own "Previous value" and the frame's, handed on by
            // the window, both recall the last saved name.
            name(form)->setFocus();
            name(form)->clear();
            press(form, NavigationButton::PreviousValue);
            QCOMPARE(name(form)->text(), QStringLiteral("Bb"));
            name(form)->clear();
            window_->navigate(NavigationButton::PreviousValue);
            QCOMPARE(name(form)->text(), QStringLiteral("Bb"));
            QVERIFY(form.isVisible());
            form.reject();
        },
    });

    window_->changeFromTree();

    QCOMPARE(played_, size_t(3));
    QCOMPARE(titles, (QStringList{"Record will be Changed  (A)", "Record will be Changed  (B)",
                                  "Record will be Changed  (C)"}));
    data::GroupTable groups(*db_);
    QCOMPARE(groups.fetch(a)->name, QStringLiteral("Aa"));
    QCOMPARE(groups.fetch(b)->name, QStringLiteral("Bb"));
    QCOMPARE(groups.fetch(c)->name, QStringLiteral("C"));
    QCOMPARE(window_->tree()->currentIndex(), treeRow(groupKey(c)));
}

void PersonsWindowTest::formMovesWalkTheLists_data()
{
    QTest::addColumn<bool>("personGroups");
    QTest::newRow("persons") << false;
    QTest::newRow("person's groups") << true;
}

void PersonsWindowTest::formMovesWalkTheLists()
{
    QFETCH(bool, personGroups);
    const qint16 ann = addPerson("Ann", "Alpha", "ann@example.org");
    addPerson("Bob", "Beta", "bob@example.org");
    addPerson("Cy", "Gamma", "cy@example.org");
    for (const char* group : {"Ca", "Cb", "Cc"}) addMember(ann, addGroup(group));
    window_ = openWindow();
    QVERIFY(window_->selectPerson(ann));
    window_->personGroupsView()->setCurrentIndex(window_->personGroupsModel()->index(0, 0));
    QStringList seen;
    auto shown = [&](RecordForm& form) {
        seen << (personGroups ? form.findChild<QComboBox*>("group")->currentText()
                              : form.findChild<QLineEdit*>("firstName")->text());
    };
    auto leave = [&](NavigationButton button) {
        return [&, button](RecordForm& form) {
            shown(form);
            press(form, button);
        };
    };
    playForms({leave(NavigationButton::NextRecord), leave(NavigationButton::LastPage),
               leave(NavigationButton::PriorRecord), [&](RecordForm& form) {
                   shown(form);
                   form.reject();
               }});

    personGroups ? window_->changePersonGroup() : window_->changePerson();

    QCOMPARE(seen, personGroups ? QStringList({"Ca", "Cb", "Cc", "Cb"}) : QStringList({"Ann", "Bob", "Cy", "Bob"}));
    QCOMPARE(window_->personGroupsModel()->rowCount(), personGroups ? 3 : 0);
    if (personGroups) QCOMPARE(window_->personGroupsView()->currentIndex().data().toString(), QStringLiteral("Cb"));
    else QCOMPARE(window_->selectedPerson()->firstName, QStringLiteral("Bob"));
}

void PersonsWindowTest::locateAndSelect()
{
    addPerson("Ann", "Alpha", "ann@example.org");
    const qint16 cy = addPerson("Cy", "Gamma", "cy@example.org");
    addPerson("Bob", "Beta", "bob@example.org");
    const qint16 club = addGroup("Club");
    window_ = openWindow();
    window_->show();
    window_->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(window_.get()));
    window_->tree()->setFocus();

    window_->navigate(NavigationButton::Locate);
    QCOMPARE(window_->orderTabs()->currentIndex(), 1);
    QTRY_VERIFY(window_->personsView()->hasFocus());
    QTest::keyClicks(window_->personsView(), "cy");
    QCOMPARE(window_->selectedPerson()->number, cy);

    // "Select This Record" opens the form of the row selected in the list
    // that has the focus.
    QStringList titles;
    fillForm_ = [&](QDialog& form) { titles << form.windowTitle(); };
    window_->navigate(NavigationButton::Select);
    window_->tree()->setFocus();
    window_->tree()->setCurrentIndex(treeRow(groupKey(club)));
    window_->navigate(NavigationButton::Select);
    QCOMPARE(titles, (QStringList{"Record will be Changed  (Cy Gamma)", "Record will be Changed  (Club)"}));
}

void PersonsWindowTest::personGroupsOfferTheirGroup()
{
    const qint16 ann = addPerson("Ann", "Alpha", "ann@example.org");
    const qint16 bob = addPerson("Bob", "Beta", "bob@example.org");
    const qint16 club = addGroup("Club");
    addMember(ann, club);
    window_ = openWindow();
    QVERIFY(window_->selectPerson(ann));
    PersonGroupsModel* groups = window_->personGroupsModel();
    QCOMPARE(groups->rowCount(), 1);
    QVERIFY(groups->flags(groups->index(0, 0)) & Qt::ItemIsDragEnabled);
    std::unique_ptr<QMimeData> mime(groups->mimeData({groups->index(0, 0)}));
    QCOMPARE(numberFromMimeData(mime.get(), groupNumberMimeType()), std::optional<qint16>(club));

    // Let go over the list it came from: Ann is in the group already, and a
    // slip of the mouse is no reason for a message.
    QVERIFY(!groups->canDropMimeData(mime.get(), Qt::CopyAction, -1, 0, {}));
    QVERIFY(!groups->dropMimeData(mime.get(), Qt::CopyAction, -1, 0, {}));
    QVERIFY(host_->boxes().empty());

    // Another contacts window, with Bob selected, adds Bob to the group.
    Bpersons other(*context_);
    QVERIFY(other.selectPerson(bob));
    QVERIFY(other.personGroupsModel()->dropMimeData(mime.get(), Qt::CopyAction, -1, 0, {}));
    QCOMPARE(membershipCount(bob, club), 1);
    QCOMPARE(membershipCount(ann, club), 1);
    QCOMPARE(other.personGroupsModel()->rowCount(), 1);
    QVERIFY(host_->boxes().empty());
}

QTEST_MAIN(PersonsWindowTest)
#include "demo_persons_test.moc"
