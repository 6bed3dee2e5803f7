#include "TestDatabase.h"
#include "demo/data/AttachmentsTable.h"
#include "demo/data/GroupPersonTable.h"
#include "demo/data/GroupTable.h"
#include "demo/data/PersonsTable.h"
#include "demo/data/SettingsTable.h"

using namespace demo::data;
using demo::data::testing::DataTest;

namespace {
Person person(const char* first, const char* last, const char* email)
{
    Person p;
    p.firstName = first;
    p.lastName = last;
    p.emailAddress = email;
    return p;
}

void addPerson(PersonsTable& t, Person& p)
{
    const DataError e = t.insert(p);
    ASSERT_FALSE(e) << e.text.toStdString();
}
}  // namespace

class Tables : public DataTest {};

TEST_F(Tables, FirstNumbersAndStoredTexts)
{
    PersonsTable persons(*db_);
    Person a = person("Jan   ", QString(60, 'x').toUtf8().constData(), "  ");
    // Quotes, placeholders and backslashes are data, whatever the engine.
    Person b = person("O'Brien?", "D\\ijk \"x\"", "piet@example.org");
    addPerson(persons, a);
    addPerson(persons, b);
    EXPECT_EQ(a.number, 1);
    EXPECT_EQ(b.number, 2);
    const auto stored = persons.fetch(1);
    ASSERT_TRUE(stored);
    EXPECT_EQ(stored->firstName, "Jan");
    EXPECT_EQ(stored->lastName, QString(50, 'x'));
    EXPECT_EQ(stored->emailAddress, "");
    EXPECT_EQ(*stored, a);  // insert hands back the record as stored
    EXPECT_EQ(*persons.fetch(2), b);

    GroupTable groups(*db_);
    Group g;
    g.name = "Friends";
    ASSERT_FALSE(groups.insert(g));
    EXPECT_EQ(g.number, 1);
}

TEST_F(Tables, UniqueKeysIgnoreCaseAndBlanks)
{
    PersonsTable persons(*db_);
    GroupTable groups(*db_);
    struct Case {
        const char* first;
        const char* second;
        bool duplicate;
    };
    const Case emails[] = {{"a@x.org", "A@X.ORG", true},
                           {"", "  ", false},
                           {"b@x.org", "b@x.org ", true},
                           {"c@x.org", "cc@x.org", false}};
    for (const Case& c : emails) {
        Person one = person("", "", c.first), two = person("", "", c.second);
        ASSERT_FALSE(persons.insert(one));
        const DataError e = persons.insert(two);
        EXPECT_EQ(e.kind, c.duplicate ? ErrorKind::DuplicateKey : ErrorKind::None)
            << c.first << " / " << c.second;
        if (c.duplicate) {
            EXPECT_EQ(e.text,
                      "Adding this record creates a duplicate entry for the key: PER:EmailaddressKey");
        }
    }
    const Case names[] = {{"Club", "CLUB", true}, {"", "", false}, {"Team", "Teams", false}};
    for (const Case& c : names) {
        Group one{0, c.first}, two{0, c.second};
        ASSERT_FALSE(groups.insert(one));
        const DataError e = groups.insert(two);
        EXPECT_EQ(e.kind, c.duplicate ? ErrorKind::DuplicateKey : ErrorKind::None) << c.first;
        if (c.duplicate) {
            EXPECT_EQ(e.text, "Adding this record creates a duplicate entry for the key: GRO:NameKey");
        }
    }
    // A refused add leaves no gap-filling side effect: the next number is still highest + 1.
    Group next{0, "Other"};
    ASSERT_FALSE(groups.insert(next));
    EXPECT_EQ(next.number, 6);
    ASSERT_TRUE(persons.fetchByEmail("a@X.org"));
    EXPECT_FALSE(persons.fetchByEmail(""));
}

TEST_F(Tables, ChangingToATakenAddressIsRefused)
{
    PersonsTable persons(*db_);
    Person a = person("", "", "a@x.org"), b = person("", "", "b@x.org");
    addPerson(persons, a);
    addPerson(persons, b);
    Person changed = b;
    changed.emailAddress = "A@x.org";
    EXPECT_EQ(persons.update(b, changed).kind, ErrorKind::DuplicateKey);
    EXPECT_EQ(persons.fetch(b.number)->emailAddress, "b@x.org");
}

TEST_F(Tables, BatchesInEveryOrderLeaveBlankKeysOut)
{
    PersonsTable persons(*db_);
    const char* rows[][2] = {
        {"dijk", "d@x.org"}, {"", "a@x.org"}, {"Berg", ""}, {"berg", "C@x.org"}, {"Aa", "b@x.org"}};
    for (auto& r : rows) {
        Person p = person("", r[0], r[1]);
        addPerson(persons, p);
    }
    auto readAll = [&](PersonsTable::Order order, int batchSize) {
        std::vector<qint16> numbers;
        PersonCursor cursor;
        for (;;) {
            const auto batch = persons.batch(order, cursor, batchSize);
            EXPECT_FALSE(persons.error());
            if (batch.empty()) break;
            for (const Person& p : batch) numbers.push_back(p.number);
            cursor = PersonsTable::cursorAfter(order, batch.back());
        }
        return numbers;
    };
    for (int size : {1, 2, 100}) {
        EXPECT_EQ(readAll(PersonsTable::Order::Number, size), (std::vector<qint16>{1, 2, 3, 4, 5}));
        EXPECT_EQ(readAll(PersonsTable::Order::EmailAddress, size), (std::vector<qint16>{2, 5, 4, 1}));
        EXPECT_EQ(readAll(PersonsTable::Order::LastName, size), (std::vector<qint16>{5, 3, 4, 1}));
    }
}

TEST_F(Tables, DeleteRulesAndNumberCascade)
{
    PersonsTable persons(*db_);
    GroupTable groups(*db_);
    GroupPersonTable members(*db_);
    Person a = person("a", "", ""), b = person("b", "", "");
    addPerson(persons, a);
    addPerson(persons, b);
    Group g{0, "Club"}, empty{0, "Empty"};
    ASSERT_FALSE(groups.insert(g));
    ASSERT_FALSE(groups.insert(empty));
    ASSERT_FALSE(members.insert({a.number, g.number}));
    ASSERT_FALSE(members.insert({b.number, g.number}));

    const DataError twice = members.insert({a.number, g.number});
    EXPECT_EQ(twice.text, "Adding this record creates a duplicate entry for the key: GROPER:UniqueKey");

    const DataError refused = groups.remove(g.number);
    EXPECT_EQ(refused.kind, ErrorKind::RestrictedDelete);
    EXPECT_EQ(refused.text,
              "This record is referenced from the file Groupper.tps. This record cannot be deleted "
              "while these references exist.");
    EXPECT_EQ(members.countOfGroup(g.number), 2);
    EXPECT_FALSE(groups.remove(empty.number));

    Group renumbered = g;
    renumbered.number = 40;
    ASSERT_FALSE(groups.update(g, renumbered));
    Person moved = a;
    moved.number = 30;
    ASSERT_FALSE(persons.update(a, moved));
    EXPECT_EQ(members.ofGroup(40), (std::vector<Membership>{{2, 40}, {30, 40}}));
    EXPECT_TRUE(members.ofGroup(g.number).empty());

    ASSERT_FALSE(persons.remove(30));
    EXPECT_EQ(members.ofGroup(40), (std::vector<Membership>{{2, 40}}));
    EXPECT_TRUE(groups.hasMembers(40));
    EXPECT_EQ(groups.remove(99).kind, ErrorKind::NotFound);
}

TEST_F(Tables, MembershipFieldsMustNameExistingRecords)
{
    PersonsTable persons(*db_);
    GroupTable groups(*db_);
    GroupPersonTable members(*db_);
    Person a = person("a", "", "");
    addPerson(persons, a);
    Group g{0, "Club"};
    ASSERT_FALSE(groups.insert(g));
    struct Case {
        Membership m;
        const char* text;
    };
    const Case cases[] = {
        {{9, g.number}, "The value of GROPER:PersonNumber must be found in the Persons file."},
        {{a.number, 9}, "The value of GROPER:Groupnumber must be found in the Group file."},
        {{0, 0}, "The value of GROPER:PersonNumber must be found in the Persons file."},
    };
    for (const Case& c : cases) {
        const DataError e = members.insert(c.m);
        EXPECT_EQ(e.kind, ErrorKind::FieldContents);
        EXPECT_EQ(e.title, "Field contents error");
        EXPECT_EQ(e.text, c.text);
    }
    EXPECT_TRUE(members.ofGroup(g.number).empty());
    ASSERT_FALSE(members.insert({a.number, g.number}));
    EXPECT_EQ(members.update({a.number, g.number}, {a.number, 9}).kind, ErrorKind::FieldContents);
    ASSERT_EQ(members.groupsOf(a.number).size(), 1u);
    EXPECT_EQ(members.groupsOf(a.number)[0].second.name, "Club");
}

TEST_F(Tables, GroupsByNameIgnoreCase)
{
    GroupTable groups(*db_);
    for (const char* name : {"beta", "Alpha", "", "GAMMA"}) {
        Group g{0, name};
        ASSERT_FALSE(groups.insert(g));
    }
    std::vector<QString> names;
    for (const Group& g : groups.all(true)) names.push_back(g.name);
    EXPECT_EQ(names, (std::vector<QString>{"Alpha", "beta", "GAMMA"}));
    EXPECT_EQ(groups.all(false).size(), 4u);
}

TEST_F(Tables, NoNumberBeyondTheTop)
{
    PersonsTable persons(*db_);
    GroupTable groups(*db_);
    Person a = person("a", "", "");
    addPerson(persons, a);
    Person top = a;
    top.number = HighestNumber;
    ASSERT_FALSE(persons.update(a, top));
    Person refused = person("b", "", "");
    EXPECT_EQ(persons.insert(refused).kind, ErrorKind::NumberRangeFull);
    EXPECT_EQ(persons.count(), 1);

    Group g{0, "g"};
    ASSERT_FALSE(groups.insert(g));
    Group topGroup{HighestNumber, "g"};
    ASSERT_FALSE(groups.update(g, topGroup));
    Group next{0, "h"};
    EXPECT_EQ(groups.insert(next).kind, ErrorKind::NumberRangeFull);
}

TEST_F(Tables, ChangeByAnotherStationIsNeverOverwritten)
{
    auto other = secondStation();
    PersonsTable here(*db_);
    Person p = person("Jan", "Dijk", "jan@x.org");
    addPerson(here, p);

    PersonsTable there(*other);
    const Person readThere = *there.fetch(p.number);
    Person changedThere = readThere;
    changedThere.lastName = "Berg";
    ASSERT_FALSE(there.update(readThere, changedThere));

    Person mine = p;
    mine.firstName = "Johan";
    Person saved;
    const DataError e = here.update(p, mine, &saved);
    EXPECT_EQ(e.kind, ErrorKind::ChangedByOther);
    EXPECT_EQ(e.title, "Record Was Not Updated");
    EXPECT_EQ(saved, changedThere);
    EXPECT_EQ(*here.fetch(p.number), changedThere);

    // Settings the same way.
    SettingsTable settingsHere(*db_), settingsThere(*other);
    EXPECT_FALSE(settingsHere.first());
    ASSERT_FALSE(settingsHere.insertBlank());
    const Settings blank = *settingsHere.first();
    EXPECT_EQ(blank.recipientsPerMessage, 100);
    Settings host = blank;
    host.mailHost = "mail.example.org";
    ASSERT_FALSE(settingsThere.update(blank, host));
    Settings footer = blank;
    footer.footer = QString(1200, 'f');
    Settings now;
    EXPECT_EQ(settingsHere.update(blank, footer, &now).kind, ErrorKind::ChangedByOther);
    EXPECT_EQ(now.mailHost, "mail.example.org");
    ASSERT_FALSE(settingsHere.update(now, footer));
    EXPECT_EQ(settingsThere.first()->footer.size(), width::Footer);
}

TEST_F(Tables, AttachmentsMayRepeat)
{
    AttachmentsTable attachments(*db_);
    Attachment a{0, "/tmp/b.pdf", 0}, b{0, "/tmp/A.txt", 0}, c{0, "/tmp/b.pdf", 0};
    for (Attachment* x : {&a, &b, &c}) ASSERT_FALSE(attachments.insert(*x));
    EXPECT_NE(a.id, c.id);
    std::vector<qint64> ids;
    for (const Attachment& x : attachments.all()) ids.push_back(x.id);
    EXPECT_EQ(ids, (std::vector<qint64>{b.id, a.id, c.id}));
    ASSERT_FALSE(attachments.remove(a.id));
    EXPECT_EQ(attachments.all().size(), 2u);
}
