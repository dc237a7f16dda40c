// Reference-counted platform objects: the common base of strings, arrays,
// dictionaries, booleans, URLs and bundles.
//
// Every object is created with a count of one and destroyed when CFRelease
// brings the count to zero. Immortal objects (the boolean constants, constant
// strings) ignore CFRetain and CFRelease and are never destroyed. The layer
// counts its live mortal objects so that tests can show that callers release
// everything they created (PlatformLiveObjectCount).
#ifndef LUMORA_PLATFORM_OBJECTS_H
#define LUMORA_PLATFORM_OBJECTS_H

#include "PlatformTypes.h"

typedef const void* CFTypeRef;
typedef long CFIndex;
typedef unsigned long CFTypeID;
typedef unsigned long CFOptionFlags;

// Allocators are accepted for their shape only; every object uses the C++
// heap. kCFAllocatorDefault is null.
typedef const struct CFAllocatorObject* CFAllocatorRef;
extern const CFAllocatorRef kCFAllocatorDefault;

// Adds one reference to `object` and returns it. Null is returned as null.
CFTypeRef CFRetain(CFTypeRef object);
// Gives up one reference; the object is destroyed when none is left. Null is
// ignored.
void CFRelease(CFTypeRef object);
// The number of references held on `object` (immortal objects report a large
// constant); 0 for null.
CFIndex CFGetRetainCount(CFTypeRef object);
// The kind of `object`, comparable with the *GetTypeID functions of each kind;
// 0 for null.
CFTypeID CFGetTypeID(CFTypeRef object);

// Test-only: the number of mortal platform objects alive in the process.
long PlatformLiveObjectCount();

#endif
