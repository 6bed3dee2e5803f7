#pragma once

#include <map>
#include <string>

#include "platform/SystemCalls.h"

// A table of system calls for tests: every call goes on to the table that
// was in use before, is counted by kind and noted with what it touched, and
// the chosen call of one kind fails instead. The earlier table is put back
// when the object goes.
namespace faults {

enum class Call {
    kStartSocketLayer,
    kSocket,   // connecting finds no socket
    kConnect,  // connecting is refused
    kSend,
    kReceive,
    kLocalHostName,
    kFileIsReadable,
    kOpenFile,
    kReadFile,
    kWriteFile,
    kFlushFile,
    kCreateTempFile,
    kDeleteTempFile,
    kAllocate,
    kCount
};
const char* NameOf(Call call);

class FaultyCalls {
public:
    FaultyCalls();
    ~FaultyCalls();
    FaultyCalls(const FaultyCalls&) = delete;
    FaultyCalls& operator=(const FaultyCalls&) = delete;

    // The `nth` call (from 1) of `call` fails; with `bFromThen`, every later
    // one as well. 0 fails none.
    void Fail(Call call, int nth, bool bFromThen = false);
    int Count(Call call) const { return m_counts[static_cast<int>(call)]; }
    // What the `nth` call of `call` touched: a path, or for the socket calls
    // the first line of the latest data sent.
    std::string Subject(Call call, int nth) const;

    // Used by the table's functions.
    bool Fails(Call call, const std::string& subject);
    std::string SubjectOf(FILE* pFile) const;
    void Opened(FILE* pFile, const std::string& path) { m_paths[pFile] = path; }
    void Sent(const char* pData, size_t nLength);
    const std::string& LastSent() const { return m_lastSent; }
    const platform::SystemCalls& Next() const { return m_next; }

private:
    platform::SystemCalls m_next;
    int m_counts[static_cast<int>(Call::kCount)] = {};
    std::map<std::pair<int, int>, std::string> m_subjects;
    std::map<FILE*, std::string> m_paths;
    std::string m_lastSent;
    Call m_failing = Call::kCount;
    int m_nth = 0;
    bool m_bFromThen = false;
};

}  // namespace faults
