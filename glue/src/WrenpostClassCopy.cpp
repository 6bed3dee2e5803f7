// The copy operations that turn the object's lists and its message text into
// movable memory blocks for the library.
#include <cstring>

#include "FixedText.h"
#include "quillnet/wrenpostclass.h"

namespace quillnet {

namespace {

HGLOBAL systemAlloc(size_t bytes)
{
    return GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, bytes);
}
void* systemLock(HGLOBAL block)
{
    return GlobalLock(block);
}
bool systemUnlock(HGLOBAL block)
{
    return GlobalUnlock(block) != 0;
}
void systemRelease(HGLOBAL block)
{
    GlobalFree(block);
}

constexpr const char* kAllocFailed = "CopyQueueToMemory: GlobalAlloc failed!";
constexpr const char* kLockFailed = "CopyQueueToMemory: GlobalLock failed!";
constexpr const char* kUnlockFailed = "CopyQueueToMemory: GlobalUnlock failed!";

}  // namespace

const WRENPOSTCLASS::MemoryCalls WRENPOSTCLASS::systemMemory = {&systemAlloc, &systemLock, &systemUnlock,
                                                                &systemRelease};

void WRENPOSTCLASS::showMemoryFailure(const char* text)
{
    host_->messageBox(text, std::string(), MessageIcon::None, MessageButtons::Ok);
}

template <typename Record>
HGLOBAL WRENPOSTCLASS::copyRecords(const std::vector<Record>& list)
{
    if (list.empty()) return nullptr;
    HGLOBAL block = memory_.alloc(list.size() * sizeof(Record));
    if (!block) {
        showMemoryFailure(kAllocFailed);
        return nullptr;
    }
    void* memory = memory_.lock(block);
    if (!memory) {
        // A block that cannot be filled is of no use to anyone: release it
        // rather than lose the handle.
        memory_.release(block);
        showMemoryFailure(kLockFailed);
        return nullptr;
    }
    std::memcpy(memory, list.data(), list.size() * sizeof(Record));
    if (memory_.unlock(block)) {
        memory_.release(block);
        showMemoryFailure(kUnlockFailed);
        return nullptr;
    }
    return block;
}

HGLOBAL WRENPOSTCLASS::COPYQUEUETOMEMORY(const std::vector<WRENPOSTADDRESS>& list)
{
    return copyRecords(list);
}
HGLOBAL WRENPOSTCLASS::COPYQUEUETOMEMORY(const std::vector<WRENPOSTATTACHMENT>& list)
{
    return copyRecords(list);
}

HGLOBAL WRENPOSTCLASS::COPYSTRINGTOMEMORY(std::string_view text)
{
    HGLOBAL block = memory_.alloc(text.size() + 1);
    if (!block) {
        showMemoryFailure(kAllocFailed);
        return nullptr;
    }
    char* memory = static_cast<char*>(memory_.lock(block));
    if (!memory) {
        memory_.release(block);
        showMemoryFailure(kLockFailed);
        return nullptr;
    }
    storeText(memory, text.size() + 1, withoutTrailingBlanks(text));
    if (memory_.unlock(block)) {
        memory_.release(block);
        showMemoryFailure(kUnlockFailed);
        return nullptr;
    }
    return block;
}

}  // namespace quillnet
