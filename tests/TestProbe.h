// aTestProbe: the tests' window on the library's private bookkeeping.
//
// Library classes name aTestProbe as a friend; it is defined only here, so the
// program itself has no way to read the counters.
#ifndef LUMORA_TEST_PROBE_H
#define LUMORA_TEST_PROBE_H

#include "aMemoryBlock.h"
#include "aObject.h"

class aTestProbe {
public:
    static unsigned long long id(const aObject& object) { return object.objectId; }
    static unsigned long long liveObjects() { return aObject::objectCount; }
    static unsigned long long idsHandedOut() { return aObject::objectIdCount; }

    // The live-instance count of one library class, e.g. count<aString>().
    template <class C> static unsigned long long count() { return C::objectCount; }

    using CopyRoutine = void* (*)(void*, const void*, std::size_t);
    using FillRoutine = void* (*)(void*, int, std::size_t);
    static CopyRoutine swapHostCopy(CopyRoutine routine) {
        CopyRoutine old = aMemoryBlock::hostCopy;
        aMemoryBlock::hostCopy = routine;
        return old;
    }
    static FillRoutine swapHostFill(FillRoutine routine) {
        FillRoutine old = aMemoryBlock::hostFill;
        aMemoryBlock::hostFill = routine;
        return old;
    }

    // Makes a block claim another length, to test size limits without
    // allocating gigabytes; returns the old length, which must be put back
    // before the block is used for anything else.
    static unsigned long long swapLength(aMemoryBlock& block, unsigned long long length) {
        unsigned long long old = block.length;
        block.length = length;
        return old;
    }
};

#endif
