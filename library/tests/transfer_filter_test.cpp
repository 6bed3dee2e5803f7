// The data phase's wire form and its pacing: line ends, dot-stuffing across
// every split, progress per 1024-byte block, cancel, and write gathering.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "MessageTransfer.h"
#include "TransferFilter.h"
#include "support/FaultyCalls.h"

namespace {

struct FilterCase {
    const char* name;
    std::string input;
    std::string wire;
    std::string end = "\r\n.\r\n";  // the line that ends the message after it
};

class TransferFilterWire : public testing::TestWithParam<FilterCase> {};

// Every case is fed whole and split at every position, so the state kept
// between pieces is exercised at each byte.
TEST_P(TransferFilterWire, SameWireFormWhereverTheInputIsSplit)
{
    const FilterCase& c = GetParam();
    for (size_t split = 0; split <= c.input.size(); ++split) {
        CTransferFilter filter;
        std::string out;
        filter.Append(c.input.data(), split, out);
        filter.Append(c.input.data() + split, c.input.size() - split, out);
        EXPECT_EQ(out, c.wire) << "split after " << split << " bytes";
        EXPECT_EQ(filter.EndOfMessage(), c.end) << "split after " << split << " bytes";
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, TransferFilterWire,
                         testing::Values(FilterCase{"Empty", "", ""},
                                         FilterCase{"CrLfUnchanged", "a\r\nb\r\n", "a\r\nb\r\n", ".\r\n"},
                                         FilterCase{"BareLineFeeds", "a\nb\n\n", "a\r\nb\r\n\r\n", ".\r\n"},
                                         FilterCase{"DotAtFileStart", ".x\r\n", "..x\r\n", ".\r\n"},
                                         FilterCase{"DotAfterBareLineFeed", "a\n.b", "a\r\n..b"},
                                         FilterCase{"DotsInsideLineKept", "a.b ..c.", "a.b ..c."},
                                         FilterCase{"DoubleDotLineGetsThree", "..\n", "...\r\n", ".\r\n"},
                                         FilterCase{"BareCarriageReturnIsNoLineEnd", "a\r.b\rc", "a\r.b\rc"},
                                         FilterCase{"EndsWithBareCarriageReturn", "a\r", "a\r"},
                                         FilterCase{"CrBeforeLfOnlyOnce", "\r\r\n\n", "\r\r\n\r\n", ".\r\n"},
                                         FilterCase{"EndMarkerInsideText", "x\r\n.\r\n.\r\n",
                                                    "x\r\n..\r\n..\r\n", ".\r\n"}),
                         [](const testing::TestParamInfo<FilterCase>& info) { return info.param.name; });

// A message file whose wire form equals its bytes (CR LF lines, no dot at a
// line start), so the wire can be compared with the file directly.
std::string PlainMessage(size_t size)
{
    std::string text;
    text.reserve(size);
    while (text.size() < size) {
        text += static_cast<char>('a' + text.size() % 26);
        if (text.size() % 70 == 68 && text.size() + 2 <= size) text += "\r\n";
    }
    text.resize(size);
    return text;
}

FILE* FileHolding(const std::string& content)
{
    FILE* pFile = std::tmpfile();
    std::fwrite(content.data(), 1, content.size(), pFile);
    std::fflush(pFile);
    return pFile;
}

// Records what a transfer writes and what the host sees.
struct TransferRecord {
    std::vector<std::string> writes;
    std::vector<std::pair<int32_t, int32_t>> calls;  // (processed, total) at each call
} * g_pRecord;
int32_t g_processed, g_total;
uint8_t g_cancel;
size_t g_cancelAtCall = 0;  // 0: never

void RecordProgress()
{
    g_pRecord->calls.emplace_back(g_processed, g_total);
    if (g_pRecord->calls.size() == g_cancelAtCall) g_cancel = 1;
}

CMessageTransfer::Outcome Transfer(const std::string& content, TransferRecord& record,
                                   bool withProgress = true)
{
    g_pRecord = &record;
    g_processed = g_total = -1;
    g_cancel = 0;
    ProgressHooks hooks;
    if (withProgress) hooks = ProgressHooks{&g_processed, &g_total, &g_cancel, &RecordProgress};
    CMessageTransfer transfer(
        [&record](const char* pData, size_t nLength) { record.writes.emplace_back(pData, nLength); }, hooks);
    FILE* pFile = FileHolding(content);
    CMessageTransfer::Outcome outcome = transfer.Run(pFile, static_cast<int64_t>(content.size()));
    std::fclose(pFile);
    return outcome;
}

// What ends a message whose wire form is `wire`.
std::string EndFor(const std::string& wire)
{
    return !wire.empty() && wire.back() == '\n' ? ".\r\n" : "\r\n.\r\n";
}

std::string Joined(const std::vector<std::string>& writes)
{
    std::string all;
    for (const std::string& piece : writes) all += piece;
    return all;
}

class MessageTransferBlocks : public testing::TestWithParam<size_t> {};

// Without a progress procedure no counter is touched and the same bytes go.
TEST_P(MessageTransferBlocks, ProgressOncePerFullBlockThatMoreBytesFollow)
{
    const size_t size = GetParam();
    const std::string content = PlainMessage(size);
    for (bool withProgress : {true, false}) {
        TransferRecord record;
        ASSERT_EQ(Transfer(content, record, withProgress), CMessageTransfer::kSent);
        std::vector<std::pair<int32_t, int32_t>> expected{{0, static_cast<int32_t>(size)}};
        for (size_t end = 1024; end < size; end += 1024)
            expected.emplace_back(static_cast<int32_t>(end + 1), static_cast<int32_t>(size));
        if (!withProgress) expected.clear();
        EXPECT_EQ(record.calls, expected);
        EXPECT_EQ(g_processed, withProgress ? expected.back().first : -1);
        EXPECT_EQ(Joined(record.writes), content + EndFor(content));
        // The end of the message leaves with the last bytes, and every write
        // but the last is a large one.
        ASSERT_FALSE(record.writes.empty());
        EXPECT_TRUE(size == 0 || record.writes.back().size() > EndFor(content).size());
        for (size_t i = 0; i + 1 < record.writes.size(); ++i)
            EXPECT_GE(record.writes[i].size(), CMessageTransfer::kWriteSize);
    }
}

INSTANTIATE_TEST_SUITE_P(Sizes, MessageTransferBlocks,
                         testing::Values(0, 1, 70, 1023, 1024, 1025, 1050, 2048, 2049,
                                         CMessageTransfer::kWriteSize - 1, CMessageTransfer::kWriteSize,
                                         CMessageTransfer::kWriteSize + 1,
                                         3 * CMessageTransfer::kWriteSize + 1500));

TEST(MessageTransfer, CancelAtACallSendsNothingBeyondThatBlockAndNoEnd)
{
    const std::string content = PlainMessage(200 * 1024 + 7);
    for (size_t cancelAt : {1, 2, 3, 64, 65, 70, 200}) {
        g_cancelAtCall = cancelAt;
        TransferRecord record;
        EXPECT_EQ(Transfer(content, record), CMessageTransfer::kCancelled) << cancelAt;
        g_cancelAtCall = 0;
        // Cancel is looked at after each block, not at the call before the
        // transfer; call k follows block k-1, and at most that much went out.
        size_t calls = std::max<size_t>(cancelAt, 2);
        EXPECT_EQ(record.calls.size(), calls);
        std::string sent = Joined(record.writes);
        EXPECT_LE(sent.size(), (calls - 1) * 1024) << cancelAt;
        EXPECT_EQ(sent, content.substr(0, sent.size())) << cancelAt;
    }
}

TEST(MessageTransfer, DotAndLineEndsSplitAtBlockAndReadBoundariesAreStillFiltered)
{
    // A line feed closes the last byte of a block and of a read, and the dot
    // that begins the next line opens the next one. Reads that need no change
    // go out as they are, between and beside reads that do.
    const size_t kRead = CMessageTransfer::kWriteSize;
    for (const std::vector<size_t>& boundaries :
         {std::vector<size_t>{1024, kRead, 2 * kRead}, std::vector<size_t>{2 * kRead},
          std::vector<size_t>{1024}}) {
        std::string content = PlainMessage(3 * kRead);
        for (size_t boundary : boundaries) {
            content[boundary - 2] = 'x';
            content[boundary - 1] = '\n';
            content[boundary] = '.';
        }
        TransferRecord record;
        ASSERT_EQ(Transfer(content, record), CMessageTransfer::kSent);
        std::string expected = content;
        for (auto boundary = boundaries.rbegin(); boundary != boundaries.rend(); ++boundary)
            expected.replace(*boundary - 1, 2, "\r\n..");
        EXPECT_TRUE(Joined(record.writes) == expected + EndFor(expected)) << boundaries.size();
        EXPECT_EQ(record.writes.size(), 3u);
    }
}

TEST(MessageTransfer, UnreadableFileIsReportedNotSent)
{
    FILE* pFile = std::tmpfile();
    ASSERT_NE(pFile, nullptr);
    std::fputs("some text\r\n", pFile);
    faults::FaultyCalls calls;
    calls.Fail(faults::Call::kReadFile, 1);
    TransferRecord record;
    CMessageTransfer transfer(
        [&record](const char* pData, size_t nLength) { record.writes.emplace_back(pData, nLength); }, {});
    EXPECT_EQ(transfer.Run(pFile, 11), CMessageTransfer::kReadFailed);
    EXPECT_TRUE(record.writes.empty());
    std::fclose(pFile);
}

}  // namespace
