// aMemoryBlock: the library's raw byte block, and its two byte helpers.
//
// MemoryCopy and MemoryClear move bytes for the whole library. They never hand
// the host's copy or fill routine more than 65,535 bytes in one call: a run is
// done from the lowest address upwards in steps of 65,535 bytes, the last step
// taking what remains. A count of 0 reads neither pointer, so null pointers are
// allowed then. The caller guarantees that the ranges are valid and do not
// overlap; nothing is tested or reported.
#ifndef LUMORA_AMEMORYBLOCK_H
#define LUMORA_AMEMORYBLOCK_H

#include "aObject.h"

#include <cstddef>

class aMemoryBlock : public virtual aObject {
public:
    static void MemoryCopy(char* dst, const char* src, unsigned long long len);
    static void MemoryClear(char* dst, unsigned long long len);

    // The largest number of bytes handed to the host routine in one call.
    static const unsigned long long stepSize = 65535;

private:
    friend class aTestProbe;

    // The host's byte-copy and byte-fill routines. Tests replace them to watch
    // the steps; the program always uses memcpy and memset.
    static void* (*hostCopy)(void* dst, const void* src, std::size_t len);
    static void* (*hostFill)(void* dst, int byte, std::size_t len);

    static unsigned long long objectCount;
};

#endif
