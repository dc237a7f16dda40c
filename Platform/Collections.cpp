// Platform collections: arrays, dictionaries, booleans, and the structural
// helpers (equality, immutable copies) that preferences use.
#include "PropertyObjects.h"

#include <cmath>
#include <cstring>

using platform::Object;
using platform::objectOf;

const CFArrayCallBacks kCFTypeArrayCallBacks = {0};
const CFDictionaryKeyCallBacks kCFTypeDictionaryKeyCallBacks = {0};
const CFDictionaryValueCallBacks kCFTypeDictionaryValueCallBacks = {0};

namespace {
const PlatformBooleanObject trueObject(true);
const PlatformBooleanObject falseObject(false);
} // namespace

const CFBooleanRef kCFBooleanTrue = &trueObject;
const CFBooleanRef kCFBooleanFalse = &falseObject;

Boolean CFBooleanGetValue(CFBooleanRef boolean) {
    return boolean == kCFBooleanTrue;
}

CFTypeID CFBooleanGetTypeID() {
    return platform::kTypeBoolean;
}

// --- Arrays ---

PlatformArrayObject::~PlatformArrayObject() {
    for (const Object* element : elements)
        CFRelease(element);
}

namespace {

PlatformArrayObject* mutableArray(CFMutableArrayRef theArray) {
    PlatformArrayObject* a = theArray;
    if (a == nullptr || a->type() != platform::kTypeArray || !a->isMutable)
        return nullptr;
    return a;
}

bool atCapacity(CFIndex capacity, size_t size) {
    return capacity > 0 && size >= static_cast<size_t>(capacity);
}

} // namespace

CFArrayRef CFArrayCreate(CFAllocatorRef, const void** values, CFIndex numValues,
                         const CFArrayCallBacks*) {
    if (numValues < 0 || (values == nullptr && numValues > 0))
        return nullptr;
    for (CFIndex i = 0; i < numValues; ++i)
        if (values[i] == nullptr)
            return nullptr;
    auto* array = new PlatformArrayObject(false, 0);
    array->elements.reserve(static_cast<size_t>(numValues));
    for (CFIndex i = 0; i < numValues; ++i)
        array->adopt(objectOf(CFRetain(values[i])));
    return array;
}

CFMutableArrayRef CFArrayCreateMutable(CFAllocatorRef, CFIndex capacity, const CFArrayCallBacks*) {
    if (capacity < 0)
        return nullptr;
    return new PlatformArrayObject(true, capacity);
}

CFMutableArrayRef CFArrayCreateMutableCopy(CFAllocatorRef, CFIndex capacity, CFArrayRef theArray) {
    const PlatformArrayObject* source = platform::asArray(theArray);
    if (source == nullptr || capacity < 0 ||
        (capacity > 0 && source->elements.size() > static_cast<size_t>(capacity)))
        return nullptr;
    auto* copy = new PlatformArrayObject(true, capacity);
    copy->elements.reserve(source->elements.size());
    for (const Object* element : source->elements)
        copy->adopt(objectOf(CFRetain(element)));
    return copy;
}

CFIndex CFArrayGetCount(CFArrayRef theArray) {
    const PlatformArrayObject* a = platform::asArray(theArray);
    return a == nullptr ? 0 : static_cast<CFIndex>(a->elements.size());
}

const void* CFArrayGetValueAtIndex(CFArrayRef theArray, CFIndex idx) {
    const PlatformArrayObject* a = platform::asArray(theArray);
    if (a == nullptr || idx < 0 || static_cast<size_t>(idx) >= a->elements.size())
        return nullptr;
    return a->elements[static_cast<size_t>(idx)];
}

void CFArrayAppendValue(CFMutableArrayRef theArray, const void* value) {
    PlatformArrayObject* a = mutableArray(theArray);
    if (a == nullptr || value == nullptr || atCapacity(a->capacity, a->elements.size()))
        return;
    a->adopt(objectOf(CFRetain(value)));
}

void CFArrayRemoveValueAtIndex(CFMutableArrayRef theArray, CFIndex idx) {
    PlatformArrayObject* a = mutableArray(theArray);
    if (a == nullptr || idx < 0 || static_cast<size_t>(idx) >= a->elements.size())
        return;
    const Object* removed = a->elements[static_cast<size_t>(idx)];
    a->elements.erase(a->elements.begin() + idx);
    CFRelease(removed);
}

CFTypeID CFArrayGetTypeID() {
    return platform::kTypeArray;
}

// --- Dictionaries ---

PlatformDictionaryObject::~PlatformDictionaryObject() {
    for (const Entry& entry : entries) {
        CFRelease(entry.key);
        CFRelease(entry.value);
    }
}

long PlatformDictionaryObject::find(const std::string& key) const {
    auto found = index.find(key);
    return found == index.end() ? -1 : static_cast<long>(found->second);
}

void PlatformDictionaryObject::adopt(const PlatformStringObject* key, const Object* value) {
    long at = find(key->utf8);
    if (at >= 0) {
        CFRelease(key);
        const Object* old = entries[static_cast<size_t>(at)].value;
        entries[static_cast<size_t>(at)].value = value;
        CFRelease(old);
        return;
    }
    index.emplace(key->utf8, entries.size());
    entries.push_back(Entry{key, value});
}

namespace {

PlatformDictionaryObject* mutableDictionary(CFMutableDictionaryRef theDict) {
    PlatformDictionaryObject* d = theDict;
    if (d == nullptr || d->type() != platform::kTypeDictionary || !d->isMutable)
        return nullptr;
    return d;
}

// Adds or replaces one entry of a changeable dictionary, as the public calls
// describe.
void storeEntry(CFMutableDictionaryRef theDict, const void* key, const void* value, bool replace) {
    PlatformDictionaryObject* d = mutableDictionary(theDict);
    const PlatformStringObject* k = platform::asString(key);
    if (d == nullptr || k == nullptr || value == nullptr)
        return;
    bool present = d->find(k->utf8) >= 0;
    if (present ? !replace : atCapacity(d->capacity, d->entries.size()))
        return;
    d->adopt(platform::asString(CFRetain(k)), objectOf(CFRetain(value)));
}

} // namespace

CFDictionaryRef CFDictionaryCreate(CFAllocatorRef, const void** keys, const void** values,
                                   CFIndex numValues, const CFDictionaryKeyCallBacks*,
                                   const CFDictionaryValueCallBacks*) {
    if (numValues < 0 || (numValues > 0 && (keys == nullptr || values == nullptr)))
        return nullptr;
    for (CFIndex i = 0; i < numValues; ++i)
        if (platform::asString(keys[i]) == nullptr || values[i] == nullptr)
            return nullptr;
    auto* dict = new PlatformDictionaryObject(false, 0);
    for (CFIndex i = 0; i < numValues; ++i)
        dict->adopt(platform::asString(CFRetain(keys[i])), objectOf(CFRetain(values[i])));
    return dict;
}

CFMutableDictionaryRef CFDictionaryCreateMutable(CFAllocatorRef, CFIndex capacity,
                                                 const CFDictionaryKeyCallBacks*,
                                                 const CFDictionaryValueCallBacks*) {
    if (capacity < 0)
        return nullptr;
    return new PlatformDictionaryObject(true, capacity);
}

CFMutableDictionaryRef CFDictionaryCreateMutableCopy(CFAllocatorRef, CFIndex capacity,
                                                     CFDictionaryRef theDict) {
    const PlatformDictionaryObject* source = platform::asDictionary(theDict);
    if (source == nullptr || capacity < 0 ||
        (capacity > 0 && source->entries.size() > static_cast<size_t>(capacity)))
        return nullptr;
    auto* copy = new PlatformDictionaryObject(true, capacity);
    for (const auto& entry : source->entries)
        copy->adopt(platform::asString(CFRetain(entry.key)), objectOf(CFRetain(entry.value)));
    return copy;
}

CFIndex CFDictionaryGetCount(CFDictionaryRef theDict) {
    const PlatformDictionaryObject* d = platform::asDictionary(theDict);
    return d == nullptr ? 0 : static_cast<CFIndex>(d->entries.size());
}

Boolean CFDictionaryContainsKey(CFDictionaryRef theDict, const void* key) {
    return CFDictionaryGetValue(theDict, key) != nullptr;
}

const void* CFDictionaryGetValue(CFDictionaryRef theDict, const void* key) {
    const PlatformDictionaryObject* d = platform::asDictionary(theDict);
    const PlatformStringObject* k = platform::asString(key);
    if (d == nullptr || k == nullptr)
        return nullptr;
    long at = d->find(k->utf8);
    return at < 0 ? nullptr : d->entries[static_cast<size_t>(at)].value;
}

void CFDictionaryAddValue(CFMutableDictionaryRef theDict, const void* key, const void* value) {
    storeEntry(theDict, key, value, false);
}

void CFDictionarySetValue(CFMutableDictionaryRef theDict, const void* key, const void* value) {
    storeEntry(theDict, key, value, true);
}

CFTypeID CFDictionaryGetTypeID() {
    return platform::kTypeDictionary;
}

// --- Structural helpers ---

namespace platform {

namespace {

// Reals and dates compare bit for bit (so 0 and -0 differ), except that every
// NaN equals every other: text forms cannot carry a NaN's payload.
bool sameBits(double a, double b) {
    return (std::isnan(a) && std::isnan(b)) || std::memcmp(&a, &b, sizeof a) == 0;
}

bool leavesEqual(const Object* a, const Object* b) {
    switch (a->type()) {
    case kTypeString:
        return static_cast<const PlatformStringObject*>(a)->utf8 ==
               static_cast<const PlatformStringObject*>(b)->utf8;
    case kTypeNumber: {
        const auto* x = static_cast<const Number*>(a);
        const auto* y = static_cast<const Number*>(b);
        return x->isReal == y->isReal && x->isUnsigned == y->isUnsigned && x->bits == y->bits &&
               sameBits(x->realValue, y->realValue);
    }
    case kTypeDate:
        return sameBits(static_cast<const Date*>(a)->seconds, static_cast<const Date*>(b)->seconds);
    case kTypeData:
        return static_cast<const Data*>(a)->bytes == static_cast<const Data*>(b)->bytes;
    default:
        return a == b; // booleans are the two constants; other kinds by identity
    }
}

bool equalAtDepth(const Object* a, const Object* b, int depth) {
    if (a == b)
        return true;
    if (a == nullptr || b == nullptr || a->type() != b->type() || depth > kMaxDepth)
        return false;
    if (const auto* x = asArray(a)) {
        const auto* y = asArray(b);
        if (x->elements.size() != y->elements.size())
            return false;
        for (size_t i = 0; i < x->elements.size(); ++i)
            if (!equalAtDepth(x->elements[i], y->elements[i], depth + 1))
                return false;
        return true;
    }
    if (const auto* x = asDictionary(a)) {
        const auto* y = asDictionary(b);
        if (x->entries.size() != y->entries.size())
            return false;
        for (const auto& entry : x->entries) {
            long at = y->find(entry.key->utf8);
            if (at < 0 ||
                !equalAtDepth(entry.value, y->entries[static_cast<size_t>(at)].value, depth + 1))
                return false;
        }
        return true;
    }
    return leavesEqual(a, b);
}

// `depth` is the number of containers enclosing `o`; a container may sit at
// most kMaxDepth levels deep.
const Object* copyAtDepth(const Object* o, int depth) {
    if (o == nullptr)
        return nullptr;
    if ((o->type() == kTypeArray || o->type() == kTypeDictionary) && depth >= kMaxDepth)
        return nullptr;
    switch (o->type()) {
    case kTypeString:
    case kTypeBoolean:
    case kTypeNumber:
    case kTypeDate:
    case kTypeData:
        return objectOf(CFRetain(o)); // immutable leaves are shared
    case kTypeArray: {
        auto* copy = new PlatformArrayObject(false, 0);
        for (const Object* element : asArray(o)->elements) {
            const Object* c = copyAtDepth(element, depth + 1);
            if (c == nullptr) {
                CFRelease(copy);
                return nullptr;
            }
            copy->adopt(c);
        }
        return copy;
    }
    case kTypeDictionary: {
        auto* copy = new PlatformDictionaryObject(false, 0);
        for (const auto& entry : asDictionary(o)->entries) {
            const Object* c = copyAtDepth(entry.value, depth + 1);
            if (c == nullptr) {
                CFRelease(copy);
                return nullptr;
            }
            copy->adopt(asString(CFRetain(entry.key)), c);
        }
        return copy;
    }
    default:
        return nullptr; // URLs, bundles: not property lists
    }
}

} // namespace

bool propertyListsEqual(CFTypeRef a, CFTypeRef b) {
    return equalAtDepth(objectOf(a), objectOf(b), 0);
}

CFTypeRef copyImmutablePropertyList(CFTypeRef plist) {
    return copyAtDepth(objectOf(plist), 0);
}

} // namespace platform
