// Memory handles and pointers.
//
// A Handle is a pointer to a master pointer that points at a block whose size
// the layer remembers. Pointers from NewPtr are plain blocks. Blocks never
// move in this layer, so HLock and HUnlock only record the request. A size
// below 0, or one that cannot be allocated, gives null; size 0 is allowed.
// Every block is released by its matching disposal call, and null is accepted
// there.
#ifndef LUMORA_PLATFORM_MEMORY_H
#define LUMORA_PLATFORM_MEMORY_H

#include "PlatformTypes.h"

typedef char* Ptr;
typedef Ptr* Handle;

// Returns a new handle to byteCount zeroed bytes; null on a negative size or
// when memory is refused.
Handle NewHandle(Size byteCount);
// Returns the size of h's block; 0 for null.
Size GetHandleSize(Handle h);
void HLock(Handle h);
void HUnlock(Handle h);
void DisposeHandle(Handle h);

// Returns a new block of byteCount zeroed bytes; null on a negative size or
// when memory is refused.
Ptr NewPtr(Size byteCount);
void DisposePtr(Ptr p);

#endif
