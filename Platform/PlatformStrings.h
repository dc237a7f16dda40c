// Platform strings: immutable, reference-counted Unicode text.
//
// A string holds a sequence of Unicode characters, kept as valid UTF-8 (it may
// contain U+0000). Strings never change after creation. Constant strings made
// by __CFStringMakeConstantString (the CFSTR macro) are immortal, and the same
// literal always gives the same reference.
//
// Encodings: kCFStringEncodingASCII accepts only bytes and characters 0..0x7F;
// kCFStringEncodingUTF8 accepts valid UTF-8 only. Every other encoding fails.
#ifndef LUMORA_PLATFORM_STRINGS_H
#define LUMORA_PLATFORM_STRINGS_H

#include "PlatformObjects.h"

typedef const struct PlatformStringObject* CFStringRef;
typedef UInt32 CFStringEncoding;

enum : CFStringEncoding {
    kCFStringEncodingASCII = 0x0600,
    kCFStringEncodingUTF8 = 0x08000100,
};

// The constant string for the NUL-terminated ASCII or UTF-8 literal cStr.
// Relies on: cStr valid for the call. Never released; same text, same
// reference. Returns null only when cStr is null or not valid UTF-8.
CFStringRef __CFStringMakeConstantString(const char* cStr);
#define CFSTR(literal) __CFStringMakeConstantString("" literal "")

// A new string from the NUL-terminated text cStr in `encoding`. Returns null
// when cStr is null, the encoding is unsupported, or the bytes are not valid
// in it (any byte above 0x7F for ASCII).
CFStringRef CFStringCreateWithCString(CFAllocatorRef alloc, const char* cStr,
                                      CFStringEncoding encoding);

// A new reference to a string equal to theString (strings are immutable, so
// a copy may share its text). Returns null when theString is not a string.
CFStringRef CFStringCreateCopy(CFAllocatorRef alloc, CFStringRef theString);

// Writes theString and a terminating NUL into buffer[0..bufferSize). Returns
// true on success; false, leaving buffer unspecified, when theString is not a
// string, holds U+0000 or a character outside `encoding`, or the text and its
// NUL do not fit in bufferSize bytes.
Boolean CFStringGetCString(CFStringRef theString, char* buffer, CFIndex bufferSize,
                           CFStringEncoding encoding);

// The number of UTF-16 code units of theString; 0 for null or a non-string.
CFIndex CFStringGetLength(CFStringRef theString);

CFTypeID CFStringGetTypeID();

#endif
