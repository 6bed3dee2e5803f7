// Reading persons files: each case is a file's bytes and what must come of it.
#include <gtest/gtest.h>

#include "PrintQString.h"
#include "demo/exchange/PersonsFile.h"

namespace demo::exchange {
namespace {

struct FileCase {
    const char* name;
    QByteArray bytes;
    // Each row as "first|initials|infix|last|address|group/group".
    QStringList rows;
    QList<int> unusableLines;
    QList<int> warningLines;
    bool unreadable = false;
};

QString describe(const PersonRow& r)
{
    const data::Person& p = r.person;
    return QStringList{p.firstName, p.initials,     p.infix,
                       p.lastName,  p.emailAddress, r.groups.join(QLatin1Char('/'))}
        .join(QLatin1Char('|'));
}

void PrintTo(const FileCase& c, std::ostream* out)
{
    *out << c.name;
}

class ReadFile : public ::testing::TestWithParam<FileCase> {};

TEST_P(ReadFile, GivesTheRowsAndTheirProblems)
{
    const FileCase& c = GetParam();
    const ParsedPersons parsed = readPersonsBytes(c.bytes);
    EXPECT_EQ(!parsed.fileError.isEmpty(), c.unreadable) << parsed.fileError.toStdString();
    QStringList rows;
    for (const PersonRow& row : parsed.rows) rows << describe(row);
    EXPECT_EQ(rows, c.rows);
    QList<int> unusable, warnings;
    for (const RowNote& note : parsed.unusable) unusable << note.line;
    for (const RowNote& note : parsed.warnings) warnings << note.line;
    EXPECT_EQ(unusable, c.unusableLines);
    EXPECT_EQ(warnings, c.warningLines);
}

const QByteArray header =
    "\"First name\",\"Initials\",\"Infix\",\"Last name\",\"E-mail address\",\"Groups\"\r\n";

INSTANTIATE_TEST_SUITE_P(
    Csv, ReadFile,
    ::testing::Values(
        FileCase{"quotes",
                 header + "\"Jan \"\"J\"\", jr\",J.,van,Dijk,jan@x.nl,\"a;b\\;c;;A\"\r\n",
                 {"Jan \"J\", jr|J.|van|Dijk|jan@x.nl|a/b;c"},
                 {},
                 {}},
        FileCase{"embedded line break keeps the line count",
                 header + "\"Ann\r\nMarie\",,,Smit,ann@x.nl,\n,,,Bad,nobody.example,\n",
                 {"Ann Marie|||Smit|ann@x.nl|"},
                 {4},
                 {}},
        FileCase{"byte order mark, LF ends, no groups column, other order and case",
                 "\xEF\xBB\xBF"
                 "e-mail ADDRESS,last name,FIRST NAME\nj@x.nl,D\xC3\xBCrer,Jan\n\n,Solo,\n",
                 {"Jan|||D\xC3\xBCrer|j@x.nl|", "|||Solo||"},
                 {},
                 {}},
        FileCase{"unterminated quote refuses the whole file",
                 header + "Jan,,,Dijk,jan@x.nl,\n\"Piet,,,Puk,piet@x.nl,\n",
                 {},
                 {},
                 {},
                 true},
        FileCase{"rows that cannot be used",
                 header + "Jan,,,Dijk,jan@x.nl\n,,,,,g\n\"Piet\"x,,,,piet@x.nl,\n,,,Two,\"a@x.nl, b@x.nl\",\n"
                          ",,,Inject,\"a@x.nl\r\nRCPT TO:<b@x.nl>\",\n",
                 {},
                 {2, 3, 4, 5, 6},
                 {}},
        FileCase{"long texts are cut with a warning",
                 header + QByteArray(31, 'f') + ",,,Dijk,jan@x.nl," + QByteArray(151, 'g') + "\n",
                 {QString(30, QLatin1Char('f')) + "|||Dijk|jan@x.nl|" + QString(150, QLatin1Char('g'))},
                 {},
                 {2, 2}},
        FileCase{"header naming no column", "name,mail\nJan,jan@x.nl\n", {}, {}, {}, true},
        FileCase{"not UTF-8", header + "J\xE9r\xF4me,,,Dijk,j@x.nl,\n", {}, {}, {}, true}),
    [](const auto& info) { return std::to_string(info.index); });

INSTANTIATE_TEST_SUITE_P(
    VCard, ReadFile,
    ::testing::Values(
        FileCase{
            "3.0 with folding, escapes and two cards",
            "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Jan van Dijk\r\nN:Dijk;Jan;van;Dr.;\r\n"
            "EMAIL;TYPE=INTERNET:jan@x.nl\r\nCATEGORIES:Friends,Work\\, North\r\nX-QUILLNET-INITIALS:J.\r\n"
            "  K.\r\nEND:VCARD\r\nBEGIN:VCARD\r\nVERSION:3.0\r\nN:M\xC3\xBC\r\n ller;Eva;;;\r\nEND:VCARD\r\n",
            {"Jan|J. K.|van|Dijk|jan@x.nl|Friends/Work, North", "Eva|||M\xC3\xBCller||"},
            {},
            {}},
        FileCase{
            "4.0: name from FN, preferred address, card without name or address",
            "BEGIN:VCARD\nVERSION:4.0\nFN:Anna Maria Jansen\nEMAIL:old@x.nl\nitem1.EMAIL;PREF=1:anna@x.nl\n"
            "END:VCARD\nBEGIN:VCARD\nVERSION:4.0\nFN:\nEND:VCARD\n",
            {"Anna Maria|||Jansen|anna@x.nl|"},
            {7},
            {}},
        FileCase{"2.1 quoted-printable",
                 "BEGIN:VCARD\r\nVERSION:2.1\r\nN;ENCODING=QUOTED-PRINTABLE;CHARSET=UTF-8:D=C3=BC=\r\nrer;"
                 "Albrecht;;;\r\n"
                 "EMAIL;INTERNET:a@x.de\r\nEND:VCARD\r\n",
                 {"Albrecht|||D\xC3\xBCrer|a@x.de|"},
                 {},
                 {}},
        FileCase{"a card without its end refuses the whole file",
                 "BEGIN:VCARD\nN:Dijk;Jan;;;\nEMAIL:jan@x.nl\nEND:VCARD\nBEGIN:VCARD\nN:Puk;Piet;;;\n",
                 {},
                 {},
                 {},
                 true}),
    [](const auto& info) { return std::to_string(info.index); });

}  // namespace
}  // namespace demo::exchange
