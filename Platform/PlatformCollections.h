// Platform collections: arrays, dictionaries and the two booleans.
//
// Arrays are ordered sequences of objects; dictionaries map string keys to
// objects and remember the order in which keys were first added. Both retain
// what they hold and release it when they are destroyed. An object created by
// a *Create or *CreateCopy call is immutable: the mutating calls ignore it.
// Only *CreateMutable and *CreateMutableCopy give changeable collections.
//
// Property lists (CFPropertyListRef) are trees of strings, booleans, numbers,
// dates, data, arrays and dictionaries, as read from and written to
// preference files.
//
// kCFBooleanTrue and kCFBooleanFalse are immortal; every boolean the layer
// produces (preference files included) is one of the two, so callers may
// compare booleans by identity.
#ifndef LUMORA_PLATFORM_COLLECTIONS_H
#define LUMORA_PLATFORM_COLLECTIONS_H

#include "PlatformStrings.h"

typedef CFTypeRef CFPropertyListRef;
typedef const struct PlatformArrayObject* CFArrayRef;
typedef struct PlatformArrayObject* CFMutableArrayRef;
typedef const struct PlatformDictionaryObject* CFDictionaryRef;
typedef struct PlatformDictionaryObject* CFMutableDictionaryRef;
typedef const struct PlatformBooleanObject* CFBooleanRef;

// Callback tables are accepted for their shape only: collections always
// retain and release their elements as platform objects.
struct CFArrayCallBacks {
    CFIndex version;
};
struct CFDictionaryKeyCallBacks {
    CFIndex version;
};
struct CFDictionaryValueCallBacks {
    CFIndex version;
};
extern const CFArrayCallBacks kCFTypeArrayCallBacks;
extern const CFDictionaryKeyCallBacks kCFTypeDictionaryKeyCallBacks;
extern const CFDictionaryValueCallBacks kCFTypeDictionaryValueCallBacks;

extern const CFBooleanRef kCFBooleanTrue;
extern const CFBooleanRef kCFBooleanFalse;
// True for kCFBooleanTrue; false for anything else.
Boolean CFBooleanGetValue(CFBooleanRef boolean);
CFTypeID CFBooleanGetTypeID();

// --- Arrays ---

// A new immutable array of the numValues objects in values (each retained).
// Returns null when numValues is negative, values is null with a positive
// count, or any value is null.
CFArrayRef CFArrayCreate(CFAllocatorRef alloc, const void** values, CFIndex numValues,
                         const CFArrayCallBacks* callBacks);
// A new empty changeable array; capacity 0 means unbounded, otherwise the
// array refuses to grow past it. Returns null for a negative capacity.
CFMutableArrayRef CFArrayCreateMutable(CFAllocatorRef alloc, CFIndex capacity,
                                       const CFArrayCallBacks* callBacks);
// A new changeable array holding theArray's elements (each retained). Returns
// null when theArray is not an array or holds more than a non-zero capacity.
CFMutableArrayRef CFArrayCreateMutableCopy(CFAllocatorRef alloc, CFIndex capacity,
                                           CFArrayRef theArray);
// The number of elements; 0 for null or a non-array.
CFIndex CFArrayGetCount(CFArrayRef theArray);
// The element at idx, not retained; null when idx is outside the array or
// theArray is not an array.
const void* CFArrayGetValueAtIndex(CFArrayRef theArray, CFIndex idx);
// Appends value (retained). Ignored for null, an immutable array, a null
// value, or an array at its capacity.
void CFArrayAppendValue(CFMutableArrayRef theArray, const void* value);
// Removes the element at idx; later elements move down by one. Ignored when
// idx is outside the array or the array is immutable.
void CFArrayRemoveValueAtIndex(CFMutableArrayRef theArray, CFIndex idx);
CFTypeID CFArrayGetTypeID();

// --- Dictionaries ---

// A new immutable dictionary of numValues string keys and their values (all
// retained; a repeated key keeps its last value). Returns null when a count,
// key or value is invalid or a key is not a string.
CFDictionaryRef CFDictionaryCreate(CFAllocatorRef alloc, const void** keys, const void** values,
                                   CFIndex numValues, const CFDictionaryKeyCallBacks* keyCallBacks,
                                   const CFDictionaryValueCallBacks* valueCallBacks);
// A new empty changeable dictionary; capacity as for arrays.
CFMutableDictionaryRef CFDictionaryCreateMutable(CFAllocatorRef alloc, CFIndex capacity,
                                                 const CFDictionaryKeyCallBacks* keyCallBacks,
                                                 const CFDictionaryValueCallBacks* valueCallBacks);
// A new changeable dictionary holding theDict's entries, in their order.
// Returns null when theDict is not a dictionary or exceeds a non-zero
// capacity.
CFMutableDictionaryRef CFDictionaryCreateMutableCopy(CFAllocatorRef alloc, CFIndex capacity,
                                                     CFDictionaryRef theDict);
// The number of entries; 0 for null or a non-dictionary.
CFIndex CFDictionaryGetCount(CFDictionaryRef theDict);
// Whether the string key is present; false for a non-string key.
Boolean CFDictionaryContainsKey(CFDictionaryRef theDict, const void* key);
// The value of the string key, not retained; null when absent.
const void* CFDictionaryGetValue(CFDictionaryRef theDict, const void* key);
// Adds key -> value when key is absent (an existing entry is kept). Ignored
// for an immutable dictionary, a non-string key, a null value, or a
// dictionary at its capacity.
void CFDictionaryAddValue(CFMutableDictionaryRef theDict, const void* key, const void* value);
// Sets key -> value, replacing an existing value in place. Ignored as for
// CFDictionaryAddValue.
void CFDictionarySetValue(CFMutableDictionaryRef theDict, const void* key, const void* value);
CFTypeID CFDictionaryGetTypeID();

#endif
