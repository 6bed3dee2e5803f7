// A stand-in for the library's entry point: records what SENDIT handed over
// (the job block and the contents of every memory block, read the way the
// library reads them) and answers with a chosen result.
#ifndef QUILLNET_FAKELIBRARY_H
#define QUILLNET_FAKELIBRARY_H

#include <cstring>
#include <string>
#include <vector>

#include "quillnet/wrenpost.h"

namespace quillnet {

// The job block is packed: read its fields by value, never bind a reference
// to them (gtest's macros would), or the read is misaligned.
template <typename T>
T field(T value)
{
    return value;
}

struct FakeLibraryCall {
    WRENPOSTDATA job;
    std::string texts[10];  // MAILHOST .. DEBUGFILE as read through the job
    std::vector<WRENPOSTADDRESS> to, cc, bcc;
    std::vector<WRENPOSTATTACHMENT> attachments;
    std::vector<char> messageBlock;  // whole MESSAGETEXTHANDLE block
    size_t toBlockSize = 0;
};

class FakeLibrary {
public:
    // Per thread, so tests on several threads each see their own calls.
    static FakeLibrary& onThisThread()
    {
        thread_local FakeLibrary fake;
        return fake;
    }

    static int32_t entry(WRENPOSTDATA* job) { return onThisThread().call(job); }

    int32_t result = RESULT_OK;
    // Progress calls to make during the call, as (processed, total) pairs.
    std::vector<std::pair<int32_t, int32_t>> progressSteps;
    std::vector<FakeLibraryCall> calls;

private:
    template <typename Record>
    static std::vector<Record> readRecords(HGLOBAL block)
    {
        std::vector<Record> records(block ? GlobalSize(block) / sizeof(Record) : 0);
        if (records.empty()) return records;
        std::memcpy(records.data(), GlobalLock(block), records.size() * sizeof(Record));
        GlobalUnlock(block);
        return records;
    }

    int32_t call(WRENPOSTDATA* job)
    {
        FakeLibraryCall call;
        call.job = *job;
        const char* fields[] = {job->MAILHOST,     job->MAILER,   job->FROM,   job->RETURNPATH,
                                job->ORGANIZATION, job->SUBJECT,  job->TONAME, job->USERNAME,
                                job->USERPASSWORD, job->DEBUGFILE};
        for (int i = 0; i < 10; ++i) call.texts[i] = fields[i] ? fields[i] : "<null>";
        call.toBlockSize = job->TOADR ? GlobalSize(job->TOADR) : 0;
        call.to = readRecords<WRENPOSTADDRESS>(job->TOADR);
        call.cc = readRecords<WRENPOSTADDRESS>(job->CCADR);
        call.bcc = readRecords<WRENPOSTADDRESS>(job->BCCADR);
        call.attachments = readRecords<WRENPOSTATTACHMENT>(job->ATTACHMENTS);
        call.messageBlock = readRecords<char>(job->MESSAGETEXTHANDLE);
        calls.push_back(call);
        for (auto [processed, total] : progressSteps) {
            if (!job->WRENPOSTCALLBACK) break;
            *job->BYTESPROCESSED = processed;
            *job->BYTESTOTAL = total;
            job->WRENPOSTCALLBACK();
            if (*job->USERCANCEL) return RESULT_CANCELLED;
        }
        return result;
    }
};

}  // namespace quillnet

#endif
