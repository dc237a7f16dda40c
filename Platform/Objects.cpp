// Reference counting of the platform's objects.
#include "ObjectBase.h"

namespace {
std::atomic<long> liveObjects{0};
} // namespace

const CFAllocatorRef kCFAllocatorDefault = nullptr;

namespace platform {

Object::Object(ObjectType type, bool immortal) : type_(type), immortal_(immortal) {
    if (!immortal_)
        liveObjects.fetch_add(1, std::memory_order_relaxed);
}

Object::~Object() {
    if (!immortal_)
        liveObjects.fetch_sub(1, std::memory_order_relaxed);
}

void Object::retain() const {
    if (!immortal_)
        references_.fetch_add(1, std::memory_order_relaxed);
}

bool Object::release() const {
    if (immortal_)
        return false;
    return references_.fetch_sub(1, std::memory_order_acq_rel) == 1;
}

CFIndex Object::retainCount() const {
    return immortal_ ? 0x7fffffff : references_.load(std::memory_order_relaxed);
}

} // namespace platform

CFTypeRef CFRetain(CFTypeRef object) {
    if (object != nullptr)
        platform::objectOf(object)->retain();
    return object;
}

void CFRelease(CFTypeRef object) {
    if (object == nullptr)
        return;
    const platform::Object* o = platform::objectOf(object);
    if (o->release())
        delete o;
}

CFIndex CFGetRetainCount(CFTypeRef object) {
    return object == nullptr ? 0 : platform::objectOf(object)->retainCount();
}

CFTypeID CFGetTypeID(CFTypeRef object) {
    return object == nullptr ? 0 : static_cast<CFTypeID>(platform::objectOf(object)->type());
}

long PlatformLiveObjectCount() {
    return liveObjects.load(std::memory_order_relaxed);
}
