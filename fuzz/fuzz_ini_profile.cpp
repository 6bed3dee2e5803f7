// Profile (INI) reader and writer: any file, any section, key and value.
// Reading never fails on content; a write is refused only for names or
// values that would break the line structure; a write that is taken reads
// back as the value written and leaves every other line of the file byte for
// byte as it was (the one key line changed after its "=", or new lines
// inserted in one place).
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "quillnet/inifile.h"
#include "support/Check.h"
#include "support/ScratchFolder.h"

namespace {

struct Line {
    std::string text;
    std::string ending;
    bool operator==(const Line& other) const { return text == other.text && ending == other.ending; }
};

// Lines end at CR LF, LF or CR; the last may have no end.
std::vector<Line> SplitLines(const std::string& content)
{
    std::vector<Line> lines;
    size_t i = 0;
    while (i < content.size()) {
        Line line;
        while (i < content.size() && content[i] != '\r' && content[i] != '\n') line.text += content[i++];
        if (i < content.size()) {
            const bool bCrLf = content[i] == '\r' && i + 1 < content.size() && content[i + 1] == '\n';
            line.ending = content.substr(i, bCrLf ? 2 : 1);
            i += line.ending.size();
        }
        lines.push_back(line);
    }
    return lines;
}

std::string ReadAll(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

std::string Trimmed(const std::string& text)
{
    size_t nBegin = text.find_first_not_of(" \t");
    if (nBegin == std::string::npos) return "";
    return text.substr(nBegin, text.find_last_not_of(" \t") + 1 - nBegin);
}

bool HasLineBreak(const std::string& text)
{
    return text.find_first_of("\r\n") != std::string::npos;
}

// The refusal rules of setValue, said once more.
bool MayBeWritten(const std::string& section, const std::string& key, const std::string& value)
{
    const std::string keyText = Trimmed(key);
    return !HasLineBreak(section) && !HasLineBreak(key) && !HasLineBreak(value) &&
           Trimmed(section).find(']') == std::string::npos && !keyText.empty() &&
           keyText.find('=') == std::string::npos && keyText[0] != '[' && keyText[0] != ';';
}

// The old file with one key line changed after its "=", or with new lines
// inserted at one place. Insertions are checked on the bytes: a new line
// after an old bare-CR line end may join it into a CR LF, which changes how
// the lines split but none of the old bytes.
void CheckOnlyTheKeyChanged(const std::string& beforeText, const std::string& afterText, bool bKeyExisted,
                            const std::string& keyText)
{
    if (bKeyExisted) {
        const std::vector<Line> before = SplitLines(beforeText);
        const std::vector<Line> after = SplitLines(afterText);
        FUZZ_CHECK(after.size() == before.size(), "changing a key adds no line");
        size_t nChanged = 0;
        for (size_t i = 0; i < before.size(); ++i) {
            if (after[i] == before[i]) continue;
            ++nChanged;
            FUZZ_CHECK(after[i].ending == before[i].ending, "the key line keeps its line end");
            const size_t nEquals = before[i].text.find('=');
            FUZZ_CHECK(nEquals != std::string::npos, "only a key line changes");
            FUZZ_CHECK(after[i].text.compare(0, nEquals + 1, before[i].text, 0, nEquals + 1) == 0,
                       "the key line keeps everything up to its \"=\"");
        }
        FUZZ_CHECK(nChanged <= 1, "at most the one key line changes");
        return;
    }
    FUZZ_CHECK(afterText.size() > beforeText.size(), "a new key adds bytes");
    size_t nAt = 0;
    while (nAt < beforeText.size() && beforeText[nAt] == afterText[nAt]) ++nAt;
    const size_t nAdded = afterText.size() - beforeText.size();
    FUZZ_CHECK(afterText.compare(nAt + nAdded, std::string::npos, beforeText, nAt, std::string::npos) == 0,
               "the old bytes follow the new ones unchanged");
    const std::vector<Line> added = SplitLines(afterText.substr(nAt, nAdded));
    bool bKeyLine = false;
    for (const Line& line : added) {
        const std::string& text = line.text;
        if (text.compare(0, keyText.size() + 1, keyText + "=") == 0) {
            bKeyLine = true;
            continue;
        }
        FUZZ_CHECK(text.empty() || (text.front() == '[' && text.back() == ']'),
                   "new lines are the key line, a blank line and a section header");
    }
    FUZZ_CHECK(bKeyLine, "the key line is among the new lines");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzedDataProvider input(data, size);
    const std::string section = input.ConsumeRandomLengthString(40);
    const std::string key = input.ConsumeRandomLengthString(40);
    const std::string value = input.ConsumeRandomLengthString(80);
    const std::string content = input.ConsumeRemainingBytesAsString();

    static const std::string path = fuzzsupport::ScratchFolder() + "/PROFILE.ini";
    fuzzsupport::WriteWholeFile(path, content);

    quillnet::IniFile file(path);
    FUZZ_CHECK(file.load(), "any content loads");
    // A line break cannot be in a value, so this default means "no such key".
    const std::string kMissing = "\n";
    const bool bKeyExisted = file.value(section, key, kMissing) != kMissing;

    const bool bTaken = file.setValue(section, key, value);
    FUZZ_CHECK(bTaken == MayBeWritten(section, key, value), "refused exactly what would break the file");
    if (!bTaken) return 0;
    FUZZ_CHECK(file.value(section, key, kMissing) == value, "the value is there at once");
    FUZZ_CHECK(file.save(), "the file is written");

    CheckOnlyTheKeyChanged(content, ReadAll(path), bKeyExisted, Trimmed(key));
    quillnet::IniFile reread(path);
    FUZZ_CHECK(reread.load(), "the written file loads");
    FUZZ_CHECK(reread.value(section, key, kMissing) == value, "the value reads back as written");
    return 0;
}
