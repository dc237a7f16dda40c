// Internal to the platform layer: reading and writing property-list files.
//
// Readers accept at most kMaxFileBytes, kMaxDepth levels of containers and
// kMaxValues values (a shared object of a binary file counts each time it is
// used); strings must be valid UTF-8 and integers fit in 64 bits. Anything
// else is refused with null, never a crash. Every value they build is
// immutable, and booleans are the two constants.
#ifndef LUMORA_PLATFORM_PROPERTY_LIST_H
#define LUMORA_PLATFORM_PROPERTY_LIST_H

#include "PropertyObjects.h"

#include <cstddef>
#include <string>

namespace platform {

constexpr size_t kMaxFileBytes = 16u * 1024 * 1024;
constexpr size_t kMaxValues = 1000000;

// A new reference to the property list in `bytes` (a binary list when it
// starts with "bplist00", else XML); null when it cannot be read.
CFTypeRef parsePropertyList(const std::string& bytes);
CFTypeRef parseXmlPropertyList(const std::string& bytes);
CFTypeRef parseBinaryPropertyList(const std::string& bytes);

// Writes `plist` as an XML property list (UTF-8, XML declaration, DOCTYPE)
// into `out`. Returns false when some value cannot be written so that it
// reads back unchanged: strings with characters XML 1.0 forbids, dates
// outside years 1..9999 or with fractions of a second, or nesting past
// kMaxDepth.
bool writeXmlPropertyList(CFTypeRef plist, std::string& out);

// Calendar conversions for dates: seconds since 2001-01-01T00:00:00Z.
struct CivilTime {
    long long year;
    int month, day, hour, minute, second;
};
double secondsFromCivil(const CivilTime& t);
CivilTime civilFromSeconds(long long seconds);

} // namespace platform

#endif
