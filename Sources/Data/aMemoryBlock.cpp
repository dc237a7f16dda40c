#include "aMemoryBlock.h"

#include "PlatformMemory.h"
#include "aException.h"
#include "aString.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <new>

unsigned long long aMemoryBlock::objectCount = 0;

void* (*aMemoryBlock::hostCopy)(void*, const void*, std::size_t) = std::memcpy;
void* (*aMemoryBlock::hostFill)(void*, int, std::size_t) = std::memset;

namespace {

// The block's length as the platform's signed 32-bit size; false when it does
// not fit, so that nothing is truncated.
bool platformSize(unsigned long long length, Size& size) {
    if (length > static_cast<unsigned long long>(INT32_MAX))
        return false;
    size = static_cast<Size>(length);
    return true;
}

} // namespace

// Out of range: the exception of the caller's own line, before anything is
// touched.
#define LUMORA_RANGE_TEST(pos, n)                                                                  \
    do {                                                                                           \
        if (!inRange(pos, n))                                                                      \
            throw aException(__FILE__, __LINE__);                                                  \
    } while (false)

char* aMemoryBlock::allocate(unsigned long long n) {
    // The full length is allocated; a length no array can have is refused
    // here rather than cut to a smaller buffer.
    if (n > static_cast<unsigned long long>(PTRDIFF_MAX))
        throw std::bad_alloc();
    return new char[static_cast<std::size_t>(n)];
}

// Allocates this block's buffer of n bytes. A constructor that cannot have its
// buffer ends without a live object, so the count it raised falls back.
void aMemoryBlock::allocateOwn(unsigned long long n) {
    try {
        value = allocate(n);
    } catch (...) {
        objectCount--;
        throw;
    }
    length = n;
}

aMemoryBlock::aMemoryBlock() : aObject(), value(nullptr), length(0) {
    objectCount++;
}

aMemoryBlock::aMemoryBlock(const aMemoryBlock& src) : aObject(), value(nullptr), length(0) {
    objectCount++;
    allocateOwn(src.length);
    MemoryCopy(value, src.value, length);
}

aMemoryBlock::aMemoryBlock(const aString& src) : aObject(), value(nullptr), length(0) {
    objectCount++;
    allocateOwn(src.getLength());
    MemoryCopy(value, src.getValue(), length);
}

aMemoryBlock::aMemoryBlock(char** handle) : aObject(), value(nullptr), length(0) {
    objectCount++;
    Size size = GetHandleSize(handle);
    // A valid handle never reports a negative size; none is taken as empty.
    unsigned long long n = size < 0 ? 0 : static_cast<unsigned long long>(size);
    allocateOwn(n);
    MemoryCopy(value, n == 0 ? nullptr : *handle, length);
}

aMemoryBlock::aMemoryBlock(unsigned long long nlength) : aObject(), value(nullptr), length(0) {
    objectCount++;
    allocateOwn(nlength);
    MemoryClear(value, length);
}

aMemoryBlock::aMemoryBlock(const char* src, unsigned long long nlength)
    : aObject(), value(nullptr), length(0) {
    objectCount++;
    allocateOwn(nlength);
    MemoryCopy(value, src, length);
}

aMemoryBlock::~aMemoryBlock() {
    objectCount--;
    if (value != nullptr) {
        delete[] value;
        value = nullptr;
    }
}

unsigned long long aMemoryBlock::getLength() const {
    return length;
}

char* aMemoryBlock::getValue() const {
    return value;
}

bool aMemoryBlock::inRange(unsigned long long pos, unsigned long long n) const {
    // pos + n <= length, written so that the sum is never formed.
    return pos <= length && n <= length - pos;
}

char* aMemoryBlock::get(unsigned long long pos, unsigned long long nlength) const {
    LUMORA_RANGE_TEST(pos, nlength);
    char* result = allocate(nlength);
    if (nlength != 0)
        MemoryCopy(result, value + pos, nlength);
    return result;
}

void aMemoryBlock::set(const char* src, unsigned long long pos, unsigned long long nlength) {
    LUMORA_RANGE_TEST(pos, nlength);
    if (nlength != 0)
        MemoryCopy(value + pos, src, nlength);
}

namespace {

template <class T> T readAt(const char* bytes) {
    T result;
    aMemoryBlock::MemoryCopy(reinterpret_cast<char*>(&result), bytes, sizeof(T));
    return result;
}

template <class T> void writeAt(char* bytes, T src) {
    aMemoryBlock::MemoryCopy(bytes, reinterpret_cast<const char*>(&src), sizeof(T));
}

} // namespace

signed char aMemoryBlock::getChar(unsigned long long pos) const {
    LUMORA_RANGE_TEST(pos, 1);
    return readAt<signed char>(value + pos);
}
unsigned char aMemoryBlock::getUChar(unsigned long long pos) const {
    LUMORA_RANGE_TEST(pos, 1);
    return readAt<unsigned char>(value + pos);
}
std::int16_t aMemoryBlock::getShort(unsigned long long pos) const {
    LUMORA_RANGE_TEST(pos, 2);
    return readAt<std::int16_t>(value + pos);
}
std::uint16_t aMemoryBlock::getUShort(unsigned long long pos) const {
    LUMORA_RANGE_TEST(pos, 2);
    return readAt<std::uint16_t>(value + pos);
}
std::int32_t aMemoryBlock::getLong(unsigned long long pos) const {
    LUMORA_RANGE_TEST(pos, 4);
    return readAt<std::int32_t>(value + pos);
}
std::uint32_t aMemoryBlock::getULong(unsigned long long pos) const {
    LUMORA_RANGE_TEST(pos, 4);
    return readAt<std::uint32_t>(value + pos);
}
std::int64_t aMemoryBlock::getLongLong(unsigned long long pos) const {
    LUMORA_RANGE_TEST(pos, 8);
    return readAt<std::int64_t>(value + pos);
}
std::uint64_t aMemoryBlock::getULongLong(unsigned long long pos) const {
    LUMORA_RANGE_TEST(pos, 8);
    return readAt<std::uint64_t>(value + pos);
}

void aMemoryBlock::setChar(char src, unsigned long long pos) {
    LUMORA_RANGE_TEST(pos, 1);
    writeAt(value + pos, src);
}
void aMemoryBlock::setUChar(unsigned char src, unsigned long long pos) {
    LUMORA_RANGE_TEST(pos, 1);
    writeAt(value + pos, src);
}
void aMemoryBlock::setShort(std::int16_t src, unsigned long long pos) {
    LUMORA_RANGE_TEST(pos, 2);
    writeAt(value + pos, src);
}
void aMemoryBlock::setUShort(std::uint16_t src, unsigned long long pos) {
    LUMORA_RANGE_TEST(pos, 2);
    writeAt(value + pos, src);
}
void aMemoryBlock::setLong(std::int32_t src, unsigned long long pos) {
    LUMORA_RANGE_TEST(pos, 4);
    writeAt(value + pos, src);
}
void aMemoryBlock::setULong(std::uint32_t src, unsigned long long pos) {
    LUMORA_RANGE_TEST(pos, 4);
    writeAt(value + pos, src);
}
void aMemoryBlock::setLongLong(std::int64_t src, unsigned long long pos) {
    LUMORA_RANGE_TEST(pos, 8);
    writeAt(value + pos, src);
}
void aMemoryBlock::setULongLong(std::uint64_t src, unsigned long long pos) {
    LUMORA_RANGE_TEST(pos, 8);
    writeAt(value + pos, src);
}

#undef LUMORA_RANGE_TEST

char** aMemoryBlock::getAsHandle() {
    Size size;
    if (!platformSize(length, size))
        return nullptr;
    Handle handle = NewHandle(size);
    if (handle == nullptr)
        return nullptr;
    HLock(handle);
    MemoryCopy(*handle, value, static_cast<unsigned long long>(size));
    HUnlock(handle);
    return handle;
}

char* aMemoryBlock::getAsPointer() {
    Size size;
    if (!platformSize(length, size))
        return nullptr;
    Ptr pointer = NewPtr(size);
    if (pointer == nullptr)
        return nullptr;
    MemoryCopy(pointer, value, static_cast<unsigned long long>(size));
    return pointer;
}

void aMemoryBlock::MemoryCopy(char* dst, const char* src, unsigned long long len) {
    for (unsigned long long offset = 0; offset < len; offset += stepSize) {
        unsigned long long remaining = len - offset;
        std::size_t step = static_cast<std::size_t>(remaining < stepSize ? remaining : stepSize);
        hostCopy(dst + offset, src + offset, step);
    }
}

void aMemoryBlock::MemoryClear(char* dst, unsigned long long len) {
    for (unsigned long long offset = 0; offset < len; offset += stepSize) {
        unsigned long long remaining = len - offset;
        std::size_t step = static_cast<std::size_t>(remaining < stepSize ? remaining : stepSize);
        hostFill(dst + offset, 0, step);
    }
}
