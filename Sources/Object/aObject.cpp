#include "aObject.h"

unsigned long long aObject::objectCount = 0;
unsigned long long aObject::objectIdCount = 0;

aObject::aObject() {
    objectCount++;
    objectIdCount++;
    objectId = objectIdCount;
}

aObject::~aObject() {
    objectCount--;
}

aObject::aObject(const aObject&) : aObject() {}

aObject& aObject::operator=(const aObject&) {
    return *this;
}
