// Movable memory blocks with the Windows names, for hosts written against the
// Windows global-memory calls. A handle is an id that is never reused while
// the block lives, so a stale or foreign handle is recognised as unknown.
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <unordered_map>

#include "quillnet/wrenpost.h"

namespace {

struct Block {
    void* pMemory;
    size_t nSize;
    unsigned nLocks;
};

std::mutex g_mutex;
std::unordered_map<uintptr_t, Block> g_blocks;
uintptr_t g_nextHandle = 0x10;

Block* Find(HGLOBAL handle)
{
    auto it = g_blocks.find(reinterpret_cast<uintptr_t>(handle));
    return it == g_blocks.end() ? nullptr : &it->second;
}

}  // namespace

extern "C" {

HGLOBAL GlobalAlloc(unsigned flags, size_t bytes)
{
    // One byte at least, so a zero-sized block still has a distinct address.
    void* pMemory = (flags & GMEM_ZEROINIT) ? std::calloc(bytes ? bytes : 1, 1)
                                            : std::malloc(bytes ? bytes : 1);
    if (!pMemory) return nullptr;
    std::lock_guard<std::mutex> lock(g_mutex);
    uintptr_t handle = g_nextHandle;
    g_nextHandle += 0x10;
    g_blocks.emplace(handle, Block{pMemory, bytes, 0});
    return reinterpret_cast<HGLOBAL>(handle);
}

void* GlobalLock(HGLOBAL handle)
{
    std::lock_guard<std::mutex> lock(g_mutex);
    Block* pBlock = Find(handle);
    if (!pBlock) return nullptr;
    ++pBlock->nLocks;
    return pBlock->pMemory;
}

int GlobalUnlock(HGLOBAL handle)
{
    std::lock_guard<std::mutex> lock(g_mutex);
    Block* pBlock = Find(handle);
    if (!pBlock || pBlock->nLocks == 0) return 0;
    --pBlock->nLocks;
    return pBlock->nLocks != 0;
}

size_t GlobalSize(HGLOBAL handle)
{
    std::lock_guard<std::mutex> lock(g_mutex);
    Block* pBlock = Find(handle);
    return pBlock ? pBlock->nSize : 0;
}

HGLOBAL GlobalFree(HGLOBAL handle)
{
    std::lock_guard<std::mutex> lock(g_mutex);
    auto it = g_blocks.find(reinterpret_cast<uintptr_t>(handle));
    if (it == g_blocks.end()) return handle;
    std::free(it->second.pMemory);
    g_blocks.erase(it);
    return nullptr;
}

}  // extern "C"
