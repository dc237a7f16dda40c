// AllocationProbe: replaces the program's array new and delete to watch the
// library's buffers.
//
// Records the size of the last array allocation and can make a chosen later
// allocation fail with std::bad_alloc, so tests can see exact buffer sizes
// and what a failed allocation leaves behind. Include it in exactly one
// source file of a test program: it defines the replacement operators.
#ifndef LUMORA_TEST_ALLOCATION_PROBE_H
#define LUMORA_TEST_ALLOCATION_PROBE_H

#include <cstddef>
#include <cstdlib>
#include <new>

namespace allocationProbe {
// Size asked for by the last successful array new.
inline std::size_t lastSize = 0;
// Array allocations made so far.
inline unsigned long long allocations = 0;
// -1: never fail. Otherwise the number of array allocations still allowed to
// succeed before one fails (0: the next one fails). Reset to -1 on failure.
inline long failAfter = -1;

// Fails the array allocation after `allowed` more succeed; undone on scope
// exit.
class FailureScope {
public:
    explicit FailureScope(long allowed) { failAfter = allowed; }
    ~FailureScope() { failAfter = -1; }
    FailureScope(const FailureScope&) = delete;
    FailureScope& operator=(const FailureScope&) = delete;
};
} // namespace allocationProbe

void* operator new[](std::size_t n) {
    if (allocationProbe::failAfter == 0) {
        allocationProbe::failAfter = -1;
        throw std::bad_alloc();
    }
    if (allocationProbe::failAfter > 0)
        allocationProbe::failAfter--;
    void* p = std::malloc(n == 0 ? 1 : n);
    if (p == nullptr)
        throw std::bad_alloc();
    allocationProbe::lastSize = n;
    allocationProbe::allocations++;
    return p;
}

void operator delete[](void* p) noexcept {
    std::free(p);
}

void operator delete[](void* p, std::size_t) noexcept {
    std::free(p);
}

#endif
