// The glue's marshalling: any names, addresses, file names and message text a
// host's records hold. The blocks SENDIT hands the library hold exactly one
// fixed-size record per entry in list order, each text without its trailing
// blanks, cut to its field, zero-terminated and zero-filled; the message block
// holds the text the same way; every block is freed once the call returns,
// and a library result above 1000 reads as success.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "quillnet/wrenpostclass.h"
#include "support/Check.h"

namespace {

std::string WithoutTrailingBlanks(const std::string& text)
{
    size_t nEnd = text.find_last_not_of(' ');
    return nEnd == std::string::npos ? std::string() : text.substr(0, nEnd + 1);
}

// A field of `size` bytes as the glue must fill it from `text`.
std::string Field(const std::string& text, size_t size)
{
    std::string field = WithoutTrailingBlanks(text).substr(0, size - 1);
    field.resize(size, '\0');
    return field;
}

struct Expected {
    std::string to, cc, attachments, message;
    int32_t libraryResult = 0;
    std::vector<HGLOBAL> blocks;  // what the library saw, to check they are freed
};
Expected* g_pExpected = nullptr;

// The bytes of a block, checking that its size is what the records need.
void CheckBlock(HGLOBAL block, const std::string& expected, const char* what)
{
    if (expected.empty()) {
        FUZZ_CHECK(block == nullptr, what);
        return;
    }
    FUZZ_CHECK(block != nullptr && GlobalSize(block) == expected.size(), what);
    const void* pMemory = GlobalLock(block);
    FUZZ_CHECK(pMemory != nullptr && std::memcmp(pMemory, expected.data(), expected.size()) == 0, what);
    GlobalUnlock(block);
    g_pExpected->blocks.push_back(block);
}

int32_t CheckingLibrary(WRENPOSTDATA* job)
{
    Expected& expected = *g_pExpected;
    CheckBlock(job->TOADR, expected.to, "the To block holds the To records");
    CheckBlock(job->CCADR, expected.cc, "the Cc block holds the Cc records");
    CheckBlock(job->ATTACHMENTS, expected.attachments, "the attachment block holds the attachment records");
    FUZZ_CHECK(job->BCCADR == nullptr, "no Bcc block for no Bcc records");
    if (!expected.message.empty()) {
        const size_t nSize = GlobalSize(job->MESSAGETEXTHANDLE);
        FUZZ_CHECK(nSize == expected.message.size(), "the message block has the text's size and one zero");
        const void* pText = GlobalLock(job->MESSAGETEXTHANDLE);
        FUZZ_CHECK(std::memcmp(pText, expected.message.data(), nSize) == 0, "the message block holds the text");
        GlobalUnlock(job->MESSAGETEXTHANDLE);
    }
    return expected.libraryResult;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzedDataProvider input(data, size);
    Expected expected;
    g_pExpected = &expected;
    quillnet::WRENPOSTCLASS mail;
    mail.setLibraryEntry(&CheckingLibrary);
    expected.libraryResult = input.ConsumeIntegral<int32_t>();

    while (input.remaining_bytes() > 0) {
        switch (input.ConsumeIntegralInRange<int>(0, 3)) {
            case 0: {  // a To entry through ADDTO
                const std::string name = input.ConsumeRandomLengthString(260);
                const std::string email = input.ConsumeRandomLengthString(260);
                mail.ADDTO(name, email);
                if (!WithoutTrailingBlanks(email).empty()) expected.to += Field(name, 200) + Field(email, 200);
                break;
            }
            case 1: {  // a Cc record as a host fills it, whatever its bytes
                WRENPOSTADDRESS record;
                const std::string bytes = input.ConsumeBytesAsString(sizeof record);
                std::string raw = bytes;
                raw.resize(sizeof record, '\0');
                std::memcpy(&record, raw.data(), sizeof record);
                mail.CCADR.push_back(record);
                expected.cc += raw;
                break;
            }
            case 2: {  // an attachment
                const std::string file = input.ConsumeRandomLengthString(300);
                const uint8_t type = input.ConsumeIntegral<uint8_t>();
                mail.ADDATTACHMENT(file, type);
                if (!WithoutTrailingBlanks(file).empty())
                    expected.attachments += Field(file, 255) + std::string(1, static_cast<char>(type));
                break;
            }
            case 3: {  // the message text, replacing an earlier one
                const std::string text = input.ConsumeRandomLengthString(2000);
                mail.SETMESSAGE(text, PART_TEXT);
                expected.message = Field(text, text.size() + 1);
                break;
            }
        }
    }

    const int32_t result = mail.SENDIT();
    if (expected.to.empty()) {
        FUZZ_CHECK(result == RESULT_NO_RECIPIENTS && expected.blocks.empty(), "no To records: 15, no call");
        return 0;
    }
    const int32_t mapped = static_cast<uint32_t>(expected.libraryResult) > 1000 ? 0 : expected.libraryResult;
    FUZZ_CHECK(result == mapped, "the library's result, above 1000 read as success");
    for (HGLOBAL block : expected.blocks)
        FUZZ_CHECK(GlobalSize(block) == 0 && GlobalLock(block) == nullptr, "list blocks are freed after the call");
    return 0;
}
