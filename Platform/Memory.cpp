// Memory handles and pointers on the C library's allocator.
#include "PlatformMemory.h"

#include <cstddef>
#include <cstdlib>
#include <new>

namespace {

// The master block a Handle points into. `block` is first so that the handle
// (the address of `block`) is also the address of the record.
struct MasterPointer {
    Ptr block;
    Size size; // >= 0; the byte count of `block`
    int locks; // HLock calls not yet matched by HUnlock
};

MasterPointer* masterOf(Handle h) {
    return reinterpret_cast<MasterPointer*>(h);
}

// calloc(0) may return null; ask for one byte so that a zero-size block is a
// real, distinct allocation.
Ptr allocateBlock(Size byteCount) {
    std::size_t n = byteCount == 0 ? 1 : static_cast<std::size_t>(byteCount);
    return static_cast<Ptr>(std::calloc(n, 1));
}

} // namespace

Handle NewHandle(Size byteCount) {
    if (byteCount < 0)
        return nullptr;
    auto* master = static_cast<MasterPointer*>(std::malloc(sizeof(MasterPointer)));
    if (master == nullptr)
        return nullptr;
    master->block = allocateBlock(byteCount);
    if (master->block == nullptr) {
        std::free(master);
        return nullptr;
    }
    master->size = byteCount;
    master->locks = 0;
    return &master->block;
}

Size GetHandleSize(Handle h) {
    return h == nullptr ? 0 : masterOf(h)->size;
}

void HLock(Handle h) {
    if (h != nullptr)
        masterOf(h)->locks++;
}

void HUnlock(Handle h) {
    if (h != nullptr && masterOf(h)->locks > 0)
        masterOf(h)->locks--;
}

void DisposeHandle(Handle h) {
    if (h == nullptr)
        return;
    MasterPointer* master = masterOf(h);
    std::free(master->block);
    std::free(master);
}

Ptr NewPtr(Size byteCount) {
    if (byteCount < 0)
        return nullptr;
    return allocateBlock(byteCount);
}

void DisposePtr(Ptr p) {
    std::free(p);
}
