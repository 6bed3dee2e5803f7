#include "support/FaultyCalls.h"

#include <cerrno>

namespace faults {

namespace {

FaultyCalls* g_pActive = nullptr;

bool StartSocketLayer()
{
    return !g_pActive->Fails(Call::kStartSocketLayer, "") && g_pActive->Next().startSocketLayer();
}

platform::ConnectStatus ConnectToHost(const char* host, uint16_t port, int timeoutSeconds,
                                      platform::SocketHandle& socket, int& error)
{
    socket = platform::kInvalidSocket;
    if (g_pActive->Fails(Call::kSocket, host)) return platform::ConnectStatus::kNoSocket;
    if (g_pActive->Fails(Call::kConnect, host)) {
        error = ECONNREFUSED;
        return platform::ConnectStatus::kFailed;
    }
    return g_pActive->Next().connectToHost(host, port, timeoutSeconds, socket, error);
}

long SendSome(platform::SocketHandle socket, const char* data, size_t length, int timeoutSeconds)
{
    g_pActive->Sent(data, length);
    if (g_pActive->Fails(Call::kSend, g_pActive->LastSent())) return -1;
    return g_pActive->Next().sendSome(socket, data, length, timeoutSeconds);
}

long ReceiveSome(platform::SocketHandle socket, char* buffer, size_t capacity, int timeoutSeconds)
{
    if (g_pActive->Fails(Call::kReceive, g_pActive->LastSent())) return -1;
    return g_pActive->Next().receiveSome(socket, buffer, capacity, timeoutSeconds);
}

bool LocalHostName(char* buffer, size_t size)
{
    return !g_pActive->Fails(Call::kLocalHostName, "") && g_pActive->Next().localHostName(buffer, size);
}

bool FileIsReadable(const char* path)
{
    return !g_pActive->Fails(Call::kFileIsReadable, path) && g_pActive->Next().fileIsReadable(path);
}

FILE* OpenFile(const char* path, const char* mode)
{
    if (g_pActive->Fails(Call::kOpenFile, path)) return nullptr;
    FILE* pFile = g_pActive->Next().openFile(path, mode);
    if (pFile) g_pActive->Opened(pFile, path);
    return pFile;
}

long ReadFile(FILE* file, void* buffer, size_t size)
{
    if (g_pActive->Fails(Call::kReadFile, g_pActive->SubjectOf(file))) return -1;
    return g_pActive->Next().readFile(file, buffer, size);
}

bool WriteFile(FILE* file, const void* data, size_t size)
{
    return !g_pActive->Fails(Call::kWriteFile, g_pActive->SubjectOf(file)) &&
           g_pActive->Next().writeFile(file, data, size);
}

bool FlushFile(FILE* file)
{
    return !g_pActive->Fails(Call::kFlushFile, g_pActive->SubjectOf(file)) &&
           g_pActive->Next().flushFile(file);
}

FILE* CreateExclusiveFile(const char* path, bool* pbNameTaken)
{
    if (g_pActive->Fails(Call::kCreateTempFile, path)) {
        *pbNameTaken = false;
        return nullptr;
    }
    FILE* pFile = g_pActive->Next().createExclusiveFile(path, pbNameTaken);
    if (pFile) g_pActive->Opened(pFile, path);
    return pFile;
}

bool DeleteTempFile(const char* path)
{
    return !g_pActive->Fails(Call::kDeleteTempFile, path) && g_pActive->Next().deleteTempFile(path);
}

void* Allocate(size_t size)
{
    return g_pActive->Fails(Call::kAllocate, "") ? nullptr : g_pActive->Next().allocate(size);
}

}  // namespace

const char* NameOf(Call call)
{
    static const char* const kNames[] = {
        "start socket layer", "socket",           "connect",          "send",      "receive",
        "local host name",    "file is readable", "open file",        "read file", "write file",
        "flush file",         "create temp file", "delete temp file", "allocate"};
    return kNames[static_cast<int>(call)];
}

FaultyCalls::FaultyCalls() : m_next(platform::Calls())
{
    platform::SystemCalls calls = m_next;
    calls.startSocketLayer = StartSocketLayer;
    calls.connectToHost = ConnectToHost;
    calls.sendSome = SendSome;
    calls.receiveSome = ReceiveSome;
    calls.localHostName = LocalHostName;
    calls.fileIsReadable = FileIsReadable;
    calls.openFile = OpenFile;
    calls.readFile = ReadFile;
    calls.writeFile = WriteFile;
    calls.flushFile = FlushFile;
    calls.createExclusiveFile = CreateExclusiveFile;
    calls.deleteTempFile = DeleteTempFile;
    calls.allocate = Allocate;
    g_pActive = this;
    platform::UseCallsForTesting(&calls);
}

FaultyCalls::~FaultyCalls()
{
    platform::UseCallsForTesting(&m_next);
    g_pActive = nullptr;
}

void FaultyCalls::Fail(Call call, int nth, bool bFromThen)
{
    m_failing = call;
    m_nth = nth;
    m_bFromThen = bFromThen;
}

bool FaultyCalls::Fails(Call call, const std::string& subject)
{
    const int nth = ++m_counts[static_cast<int>(call)];
    m_subjects[{static_cast<int>(call), nth}] = subject;
    return call == m_failing && m_nth > 0 && (nth == m_nth || (m_bFromThen && nth > m_nth));
}

std::string FaultyCalls::Subject(Call call, int nth) const
{
    auto it = m_subjects.find({static_cast<int>(call), nth});
    return it == m_subjects.end() ? "" : it->second;
}

std::string FaultyCalls::SubjectOf(FILE* pFile) const
{
    auto it = m_paths.find(pFile);
    return it == m_paths.end() ? "" : it->second;
}

void FaultyCalls::Sent(const char* pData, size_t nLength)
{
    std::string data(pData, nLength);
    m_lastSent = data.substr(0, data.find("\r\n"));
}

}  // namespace faults
