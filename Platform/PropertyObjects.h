// Internal to the platform layer: the object kinds of property lists.
//
// Every kind derives from platform::Object alone. Strings, numbers, dates and
// data never change after creation. Arrays and dictionaries change only when
// created `mutable_`, and then only through the CF*Append/Add/Set/Remove
// calls. Containers hold one reference on each element and key.
#ifndef LUMORA_PLATFORM_PROPERTY_OBJECTS_H
#define LUMORA_PLATFORM_PROPERTY_OBJECTS_H

#include "ObjectBase.h"
#include "PlatformCollections.h"

#include <cstddef>
#include <string>
#include <unordered_map>
#include <vector>

struct PlatformStringObject : platform::Object {
    explicit PlatformStringObject(std::string nutf8, bool immortal = false)
        : Object(platform::kTypeString, immortal), utf8(std::move(nutf8)) {}
    const std::string utf8; // always valid UTF-8; may hold U+0000
};

struct PlatformBooleanObject : platform::Object {
    explicit PlatformBooleanObject(bool nvalue)
        : Object(platform::kTypeBoolean, true), value(nvalue) {}
    const bool value;
};

namespace platform {

// An integer or a real. Integers cover -2^63 .. 2^64-1: `isUnsigned` marks
// values above INT64_MAX, held in `bits`.
struct Number : Object {
    static Number* integer(std::int64_t v) { return new Number(false, false, std::uint64_t(v), 0); }
    static Number* unsignedInteger(std::uint64_t v) {
        return new Number(false, v > INT64_MAX, v, 0);
    }
    static Number* real(double v) { return new Number(true, false, 0, v); }
    const bool isReal;
    const bool isUnsigned;    // integer above INT64_MAX
    const std::uint64_t bits; // the integer, two's complement unless isUnsigned
    const double realValue;

private:
    Number(bool nreal, bool nunsigned, std::uint64_t nbits, double nrealValue)
        : Object(kTypeNumber), isReal(nreal), isUnsigned(nunsigned), bits(nbits),
          realValue(nrealValue) {}
};

// An instant: seconds since 2001-01-01 00:00:00 UTC.
struct Date : Object {
    explicit Date(double nseconds) : Object(kTypeDate), seconds(nseconds) {}
    const double seconds;
};

struct Data : Object {
    explicit Data(std::string nbytes) : Object(kTypeData), bytes(std::move(nbytes)) {}
    const std::string bytes;
};

} // namespace platform

struct PlatformArrayObject : platform::Object {
    PlatformArrayObject(bool nmutable, CFIndex ncapacity)
        : Object(platform::kTypeArray), isMutable(nmutable), capacity(ncapacity) {}
    ~PlatformArrayObject() override;
    // Appends `element`, taking over the caller's reference.
    void adopt(const platform::Object* element) { elements.push_back(element); }

    const bool isMutable;
    const CFIndex capacity;                        // 0: unbounded
    std::vector<const platform::Object*> elements; // never null; one reference each
};

struct PlatformDictionaryObject : platform::Object {
    PlatformDictionaryObject(bool nmutable, CFIndex ncapacity)
        : Object(platform::kTypeDictionary), isMutable(nmutable), capacity(ncapacity) {}
    ~PlatformDictionaryObject() override;

    // The index of `key` in `entries`, or -1.
    long find(const std::string& key) const;
    // Sets key -> value, taking over the caller's references to both; a
    // replaced entry keeps its position and the old key.
    void adopt(const PlatformStringObject* key, const platform::Object* value);

    const bool isMutable;
    const CFIndex capacity; // 0: unbounded
    struct Entry {
        const PlatformStringObject* key; // one reference
        const platform::Object* value;   // one reference
    };
    std::vector<Entry> entries;                    // in order of first addition
    std::unordered_map<std::string, size_t> index; // key text -> position in entries
};

namespace platform {

inline const PlatformStringObject* asString(CFTypeRef ref) {
    const Object* o = objectOf(ref);
    return o != nullptr && o->type() == kTypeString ? static_cast<const PlatformStringObject*>(o)
                                                    : nullptr;
}
inline const PlatformArrayObject* asArray(CFTypeRef ref) {
    const Object* o = objectOf(ref);
    return o != nullptr && o->type() == kTypeArray ? static_cast<const PlatformArrayObject*>(o)
                                                   : nullptr;
}
inline const PlatformDictionaryObject* asDictionary(CFTypeRef ref) {
    const Object* o = objectOf(ref);
    return o != nullptr && o->type() == kTypeDictionary
               ? static_cast<const PlatformDictionaryObject*>(o)
               : nullptr;
}

// True when `text` is valid UTF-8 (no overlong forms, surrogates or values
// above U+10FFFF).
bool isValidUtf8(const std::string& text);

// A new string holding `utf8`, which must be valid UTF-8.
inline const PlatformStringObject* makeString(std::string utf8) {
    return new PlatformStringObject(std::move(utf8));
}

// Deep structural equality of two property lists (null equals only null).
bool propertyListsEqual(CFTypeRef a, CFTypeRef b);

// A new reference to an immutable deep copy of `plist`: containers are copied,
// immutable leaves are shared by retaining them. Null when `plist` is not a property list or nests
// deeper than kMaxDepth.
CFTypeRef copyImmutablePropertyList(CFTypeRef plist);

constexpr int kMaxDepth = 64;

} // namespace platform

#endif
