#pragma once

// Makes `operator new` fail on demand, for the whole test binary (the
// replacement operators live in FailingNew.cpp). Only allocations on the
// thread that armed it count, so a scripted server's thread is left alone.
namespace faults {

class FailingNew {
public:
    // The `nth` allocation (from 1) on this thread throws std::bad_alloc (or
    // gives null for the nothrow forms); 0 only counts.
    explicit FailingNew(long nth);
    ~FailingNew();
    FailingNew(const FailingNew&) = delete;
    FailingNew& operator=(const FailingNew&) = delete;

    long Count() const;      // allocations made on this thread while armed
    bool HasFailed() const;  // whether the chosen one was reached
};

}  // namespace faults
