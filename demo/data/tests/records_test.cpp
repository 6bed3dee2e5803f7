#include "demo/data/Records.h"

#include <gtest/gtest.h>

#include "demo/data/DisplayName.h"

using namespace demo::data;

TEST(StoredText, CutsToWidthAndDropsTrailingBlanks)
{
    struct Case {
        QString in;
        int width;
        QString out;
    };
    const QString smile = QString::fromUtf8("\xF0\x9F\x98\x80");  // one character, two UTF-16 units
    const Case cases[] = {
        {"  ", 10, ""},
        {" a  ", 10, " a"},
        {"abcdef", 3, "abc"},
        {"ab  cd", 4, "ab"},    // a cut that ends in blanks drops them too
        {"a" + smile, 2, "a"},  // never half a surrogate pair
        {"a" + smile, 3, "a" + smile},
    };
    for (const Case& c : cases) EXPECT_EQ(storedText(c.in, c.width), c.out) << c.in.toStdString();
}

TEST(DisplayName, BothOrdersWithBlankParts)
{
    struct Case {
        const char *first, *infix, *last;
        const char *plain, *lastFirst;
    };
    const Case cases[] = {
        {"Jan", "van", "Dijk", "Jan van Dijk", "Dijk, Jan van"},
        {"", "", "Dijk", "Dijk", "Dijk,"},
        {"Jan  ", "", "", "Jan", "Jan"},
        {"", "van", "Dijk  ", "van Dijk", "Dijk, van"},
        {"", "", "", "", ""},
    };
    for (const Case& c : cases) {
        Person p;
        p.firstName = c.first;
        p.infix = c.infix;
        p.lastName = c.last;
        p.initials = "X.Y.";  // never part of the name
        EXPECT_EQ(displayName(p, false), c.plain);
        EXPECT_EQ(displayName(p, true), c.lastFirst);
    }
    Person longName;
    longName.firstName = QString(200, 'a');
    longName.lastName = QString(200, 'b');
    EXPECT_EQ(displayName(longName, false).size(), 255);
}
