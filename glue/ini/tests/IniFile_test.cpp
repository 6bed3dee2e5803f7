#include "quillnet/inifile.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>

namespace {

namespace fs = std::filesystem;

class IniFileTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        dir_ = fs::temp_directory_path() / ("quillnet_ini_" + std::to_string(std::random_device{}()) + "_" +
                                            ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir_);
        fs::create_directories(dir_);
        path_ = (dir_ / "TEST.ini").string();
    }
    void TearDown() override { fs::remove_all(dir_); }

    void writeFile(const std::string& bytes) { std::ofstream(path_, std::ios::binary) << bytes; }
    std::string readFile() const
    {
        std::ifstream in(path_, std::ios::binary);
        return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    }

    fs::path dir_;
    std::string path_;
};

struct ReadCase {
    const char* name;
    const char* file;
    const char* section;
    const char* key;
    const char* expected;
};

TEST_F(IniFileTest, ReadsValuesByWindowsProfileRules)
{
    const ReadCase cases[] = {
        {"plain", "[Bench-Form 2]\r\nMailHost=mx.example\r\n", "Bench-Form 2", "MailHost", "mx.example"},
        {"section and key ignore case", "[BENCH-form 2]\nmailHOST=a\n", "Bench-Form 2", "MailHost", "a"},
        {"blanks around names", "  [ S ]  \n  Key  =v\n", "S", "Key", "v"},
        {"value to end of line", "[S]\nKey=a=b ; not a comment\n", "S", "Key", "a=b ; not a comment"},
        {"blanks around value dropped", "[S]\nKey=   spaced out \t\r\n", "S", "Key", "spaced out"},
        {"quotes keep blanks", "[S]\nKey=\"  padded \"\n", "S", "Key", "  padded "},
        {"single quotes too", "[S]\nKey='x'\n", "S", "Key", "x"},
        {"unmatched quote kept", "[S]\nKey=\"x\n", "S", "Key", "\"x"},
        {"empty value is not the default", "[S]\nKey=\n", "S", "Key", ""},
        {"first of two keys", "[S]\nKey=1\nKey=2\n", "S", "Key", "1"},
        {"first of two sections", "[S]\nKey=1\n[S]\nKey=2\n", "S", "Key", "1"},
        {"key of another section", "[A]\nKey=1\n[S]\nOther=2\n", "S", "Key", "default"},
        {"missing section", "[A]\nKey=1\n", "S", "Key", "default"},
        {"key before any section", "Key=1\n[S]\n", "S", "Key", "default"},
        {"commented key", "[S]\n;Key=1\n", "S", "Key", "default"},
        {"old Mac line ends", "[S]\rKey=v\r", "S", "Key", "v"},
        {"no final line end", "[S]\nKey=last", "S", "Key", "last"},
        {"byte order mark", "\xEF\xBB\xBF[S]\nKey=v\n", "S", "Key", "v"},
    };
    for (const ReadCase& c : cases) {
        SCOPED_TRACE(c.name);
        writeFile(c.file);
        EXPECT_EQ(quillnet::readProfileString(path_, c.section, c.key, "default"), c.expected);
    }
}

struct WriteCase {
    const char* name;
    const char* before;  // nullptr: no file yet
    const char* section;
    const char* key;
    const char* value;
    const char* after;
};

TEST_F(IniFileTest, WritesOnlyTheKeyLineAndKeepsEveryOtherByte)
{
    const WriteCase cases[] = {
        {"creates the file with Windows line ends", nullptr, "Bench-Form 2", "MailHost", "mx",
         "[Bench-Form 2]\r\nMailHost=mx\r\n"},
        {"replaces a value in place",
         "; settings\r\n[Other]\r\nMailHost=keep\r\n\r\n[Bench-Form 2]\r\nmailhost = old\r\nPriority=3\r\n",
         "Bench-Form 2", "MailHost", "new",
         "; settings\r\n[Other]\r\nMailHost=keep\r\n\r\n[Bench-Form 2]\r\nmailhost =new\r\nPriority=3\r\n"},
        {"adds a key after the section's last line, before the blank separator", "[S]\nA=1\n\n[T]\nB=2\n",
         "s", "New", "x", "[S]\nA=1\nNew=x\n\n[T]\nB=2\n"},
        {"a file without line ends gets Windows ones", "[S]", "S", "K", "v", "[S]\r\nK=v\r\n"},
        {"adds a section after a blank line, in the file's line ends", "[A]\nX=1", "B", "K", "v",
         "[A]\nX=1\n\n[B]\nK=v\n"},
        {"no second blank line when one is there", "[A]\nX=1\n\n", "B", "K", "v", "[A]\nX=1\n\n[B]\nK=v\n"},
        {"quotes a value with edge blanks", "[S]\nK=1\n", "S", "K", " two ", "[S]\nK=\" two \"\n"},
        {"quotes a value that looks quoted", "[S]\nK=1\n", "S", "K", "\"q\"", "[S]\nK=\"\"q\"\"\n"},
        {"leaves mixed line ends alone", "[S]\r\nA=1\nB=2\r\n", "S", "B", "3", "[S]\r\nA=1\nB=3\r\n"},
        {"keeps the byte order mark", "\xEF\xBB\xBF[S]\nK=1\n", "S", "K", "2", "\xEF\xBB\xBF[S]\nK=2\n"},
        {"the mark's bytes opening a later key are part of it", "[S]\n", "S", "\xEF\xBB\xBFK", "v",
         "[S]\n\xEF\xBB\xBFK=v\n"},
    };
    for (const WriteCase& c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove(path_);
        if (c.before != nullptr) writeFile(c.before);
        ASSERT_TRUE(quillnet::writeProfileString(path_, c.section, c.key, c.value));
        EXPECT_EQ(readFile(), c.after);
        EXPECT_EQ(quillnet::readProfileString(path_, c.section, c.key, "default"), c.value);
    }
}

TEST_F(IniFileTest, RefusesInputThatWouldBreakTheFile)
{
    const std::string original = "[S]\nK=1\n";
    struct Refused {
        const char* section;
        const char* key;
        const char* value;
    } const cases[] = {
        {"S", "K", "two\nlines"}, {"S", "K", "cr\rhere"}, {"S\n[X]", "K", "v"}, {"S]", "K", "v"},
        {"S", "K=J", "v"},        {"S", "", "v"},         {"S", "[K", "v"},     {"S", ";K", "v"},
    };
    for (const Refused& c : cases) {
        SCOPED_TRACE(std::string(c.section) + "/" + c.key + "/" + c.value);
        writeFile(original);
        EXPECT_FALSE(quillnet::writeProfileString(path_, c.section, c.key, c.value));
        EXPECT_EQ(readFile(), original);
    }
}

TEST_F(IniFileTest, ManyValuesInOneSaveKeepTheirOrderThroughATemporaryFile)
{
    quillnet::IniFile file(path_);
    ASSERT_TRUE(file.load());
    for (const char* key : {"MailHost", "Mailer", "Priority"}) ASSERT_TRUE(file.setValue("B", key, key));
    ASSERT_TRUE(file.save());
    EXPECT_EQ(readFile(), "[B]\r\nMailHost=MailHost\r\nMailer=Mailer\r\nPriority=Priority\r\n");
    EXPECT_FALSE(fs::exists(path_ + ".tmp"));
}

TEST_F(IniFileTest, UnwritableOrUnreadablePathsFailAndLeaveNoFile)
{
    EXPECT_FALSE(quillnet::writeProfileString((dir_ / "absent" / "X.ini").string(), "S", "K", "v"));
    EXPECT_FALSE(fs::exists(dir_ / "absent"));

    // A folder where the file should be cannot be read (not even by root, who
    // would ignore file permissions) and must not be treated as "no file".
    fs::create_directories(path_);
    EXPECT_FALSE(quillnet::IniFile(path_).load());
    EXPECT_FALSE(quillnet::writeProfileString(path_, "S", "K", "v"));
    EXPECT_TRUE(fs::is_directory(path_));
    EXPECT_EQ(quillnet::readProfileString(path_, "S", "K", "default"), "default");
}

}  // namespace
