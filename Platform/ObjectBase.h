// Internal to the platform layer: the base every reference-counted object
// derives from. Callers only ever see the opaque CF*Ref pointers.
//
// Every object kind derives from Object alone (single inheritance), so a
// CF*Ref converted to CFTypeRef points at its Object.
//
// Invariant: `references` >= 1 while the object is reachable; an immortal
// object is never deleted and its count never changes.
#ifndef LUMORA_PLATFORM_OBJECT_BASE_H
#define LUMORA_PLATFORM_OBJECT_BASE_H

#include "PlatformObjects.h"

#include <atomic>

namespace platform {

// Type identifiers of the object kinds; CFGetTypeID returns these.
enum ObjectType : CFTypeID {
    kTypeString = 7,
    kTypeArray = 19,
    kTypeDictionary = 18,
    kTypeBoolean = 21,
    kTypeNumber = 22,
    kTypeDate = 42,
    kTypeData = 20,
    kTypeURL = 29,
    kTypeBundle = 31,
};

class Object {
public:
    explicit Object(ObjectType type, bool immortal = false);
    virtual ~Object();
    Object(const Object&) = delete;
    Object& operator=(const Object&) = delete;

    ObjectType type() const { return type_; }
    bool immortal() const { return immortal_; }

    void retain() const;
    // Returns true when this call dropped the last reference.
    bool release() const;
    CFIndex retainCount() const;

private:
    const ObjectType type_;
    const bool immortal_;
    mutable std::atomic<long> references_{1}; // >= 1 while reachable
};

// Casts a CFTypeRef back to the layer's object; null stays null.
inline const Object* objectOf(CFTypeRef ref) {
    return static_cast<const Object*>(ref);
}

} // namespace platform

#endif
