// A stand-in for the library's entry point that any thread may call (the
// program sends from its send thread): records what each call carried and
// answers each call with the next scripted result and server text.
#ifndef DEMO_TESTS_SCRIPTEDLIBRARY_H
#define DEMO_TESTS_SCRIPTEDLIBRARY_H

#include <cstdlib>
#include <cstring>
#include <deque>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "quillnet/wrenpost.h"

namespace demo::testing {

struct ScriptedCall {
    std::string toName;
    std::string from;
    std::string subject;
    std::vector<std::pair<std::string, std::string>> to;  // name, address
    std::vector<std::string> attachments;
    std::string message;
    int messageType = -1;
    std::string charset;  // MM_CHARSET while the call ran
};

class ScriptedLibrary {
public:
    static ScriptedLibrary& instance()
    {
        static ScriptedLibrary library;
        return library;
    }
    static int32_t entry(WRENPOSTDATA* job) { return instance().call(job); }

    void reset()
    {
        std::lock_guard<std::mutex> lock(mutex_);
        calls_.clear();
        answers_.clear();
    }
    // The answer to one coming call; calls without an answer succeed.
    void answer(int32_t result, std::string serverText = {})
    {
        std::lock_guard<std::mutex> lock(mutex_);
        answers_.emplace_back(result, std::move(serverText));
    }
    std::vector<ScriptedCall> calls() const
    {
        std::lock_guard<std::mutex> lock(mutex_);
        return calls_;
    }

private:
    int32_t call(WRENPOSTDATA* job)
    {
        ScriptedCall call;
        call.toName = job->TONAME ? job->TONAME : "";
        call.from = job->FROM ? job->FROM : "";
        call.subject = job->SUBJECT ? job->SUBJECT : "";
        if (job->TOADR) {
            auto* records = static_cast<const WRENPOSTADDRESS*>(GlobalLock(job->TOADR));
            for (size_t i = 0; i < GlobalSize(job->TOADR) / sizeof(WRENPOSTADDRESS); ++i)
                call.to.emplace_back(records[i].NAME, records[i].EMAIL);
            GlobalUnlock(job->TOADR);
        }
        if (job->ATTACHMENTS) {
            auto* records = static_cast<const WRENPOSTATTACHMENT*>(GlobalLock(job->ATTACHMENTS));
            for (size_t i = 0; i < GlobalSize(job->ATTACHMENTS) / sizeof(WRENPOSTATTACHMENT); ++i)
                call.attachments.emplace_back(records[i].FILENAME);
            GlobalUnlock(job->ATTACHMENTS);
        }
        if (job->MESSAGETEXTHANDLE) {
            call.message = static_cast<const char*>(GlobalLock(job->MESSAGETEXTHANDLE));
            GlobalUnlock(job->MESSAGETEXTHANDLE);
        }
        call.messageType = job->MESSAGETYPE;
        if (const char* charset = std::getenv("MM_CHARSET")) call.charset = charset;
        std::lock_guard<std::mutex> lock(mutex_);
        calls_.push_back(call);
        if (answers_.empty()) return RESULT_OK;
        auto [result, text] = answers_.front();
        answers_.pop_front();
        if (job->SERVERERRORMESSAGE) {
            std::strncpy(job->SERVERERRORMESSAGE, text.c_str(), 499);
            job->SERVERERRORMESSAGE[499] = '\0';
        }
        return result;
    }

    mutable std::mutex mutex_;
    std::vector<ScriptedCall> calls_;
    std::deque<std::pair<int32_t, std::string>> answers_;
};

}  // namespace demo::testing

#endif
