#include "support/FailingNew.h"

#include <cstdlib>
#include <new>

namespace {

// Per thread, so that arming never races with other threads' allocations.
thread_local bool t_bArmed = false;
thread_local long t_nCount = 0;
thread_local long t_nFailAt = 0;

// False when this allocation is the one chosen to fail.
bool MayAllocate()
{
    if (!t_bArmed) return true;
    ++t_nCount;
    return t_nCount != t_nFailAt;
}

void* Allocate(std::size_t nSize)
{
    if (!MayAllocate()) return nullptr;
    return std::malloc(nSize ? nSize : 1);
}

void* AllocateOrThrow(std::size_t nSize)
{
    void* p = Allocate(nSize);
    if (!p) throw std::bad_alloc();
    return p;
}

}  // namespace

namespace faults {

FailingNew::FailingNew(long nth)
{
    t_nCount = 0;
    t_nFailAt = nth;
    t_bArmed = true;
}

FailingNew::~FailingNew()
{
    t_bArmed = false;
}

long FailingNew::Count() const
{
    return t_nCount;
}

bool FailingNew::HasFailed() const
{
    return t_nFailAt > 0 && t_nCount >= t_nFailAt;
}

}  // namespace faults

// Every plain and sized form is replaced, so that memory from these news is
// never given to a sanitizer's own delete (which would report a mismatch).
// The aligned forms stay the library's: they pair among themselves.
void* operator new(std::size_t nSize)
{
    return AllocateOrThrow(nSize);
}
void* operator new[](std::size_t nSize)
{
    return AllocateOrThrow(nSize);
}
void* operator new(std::size_t nSize, const std::nothrow_t&) noexcept
{
    return Allocate(nSize);
}
void* operator new[](std::size_t nSize, const std::nothrow_t&) noexcept
{
    return Allocate(nSize);
}
void operator delete(void* p) noexcept
{
    std::free(p);
}
void operator delete[](void* p) noexcept
{
    std::free(p);
}
void operator delete(void* p, std::size_t) noexcept
{
    std::free(p);
}
void operator delete[](void* p, std::size_t) noexcept
{
    std::free(p);
}
void operator delete(void* p, const std::nothrow_t&) noexcept
{
    std::free(p);
}
void operator delete[](void* p, const std::nothrow_t&) noexcept
{
    std::free(p);
}
