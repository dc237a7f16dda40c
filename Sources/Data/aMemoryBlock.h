// aMemoryBlock: the library's raw byte block, and its two byte helpers.
//
// A block owns a buffer of exactly `length` bytes, fixed at construction: no
// operation resizes it or replaces the buffer, so getValue() stays valid for
// the block's life. Bytes carry no type: the typed accessors copy the raw
// in-memory representation of 1-, 2-, 4- and 8-byte integers at any byte
// position, in the host's byte order, without alignment.
//
// Every operation taking a position tests its whole range first: the n bytes
// from pos must end at or before `length` (the test cannot overflow). Out of
// range it throws aException(__FILE__, __LINE__) before anything is
// allocated, read or written. Lengths too large to allocate are refused with
// std::bad_alloc before anything is copied. getAsHandle and getAsPointer hand
// the platform a signed 32-bit size; a block too long for it gives null.
//
// MemoryCopy and MemoryClear move bytes for the whole library. They never hand
// the host's copy or fill routine more than 65,535 bytes in one call: a run is
// done from the lowest address upwards in steps of 65,535 bytes, the last step
// taking what remains. A count of 0 reads neither pointer, so null pointers are
// allowed then. The caller guarantees that the ranges are valid and do not
// overlap; nothing is tested or reported.
#ifndef LUMORA_AMEMORYBLOCK_H
#define LUMORA_AMEMORYBLOCK_H

#include "aObject.h"

#include <cstddef>
#include <cstdint>

class aString;

class aMemoryBlock : public virtual aObject {
public:
    // An empty block: no buffer, length 0.
    aMemoryBlock();
    // A copy of src's bytes in a buffer of its own (allocated also for 0).
    aMemoryBlock(const aMemoryBlock& src);
    // The string's bytes, without a terminating zero.
    aMemoryBlock(const aString& src);
    // A copy of a platform handle's block; the handle stays the caller's.
    aMemoryBlock(char** handle);
    // nlength zero bytes.
    aMemoryBlock(unsigned long long nlength);
    // A copy of the nlength bytes at src.
    aMemoryBlock(const char* src, unsigned long long nlength);
    ~aMemoryBlock();
    // Blocks never share or swap buffers.
    aMemoryBlock& operator=(const aMemoryBlock& src) = delete;

    unsigned long long getLength() const;
    // The block's own buffer: not to be released by the caller.
    char* getValue() const;

    // A new array (release with delete[]) holding the nlength bytes at pos.
    char* get(unsigned long long pos, unsigned long long nlength) const;
    // Copies nlength bytes from src to pos.
    void set(const char* src, unsigned long long pos, unsigned long long nlength);

    signed char getChar(unsigned long long pos) const;
    unsigned char getUChar(unsigned long long pos) const;
    std::int16_t getShort(unsigned long long pos) const;
    std::uint16_t getUShort(unsigned long long pos) const;
    std::int32_t getLong(unsigned long long pos) const;
    std::uint32_t getULong(unsigned long long pos) const;
    std::int64_t getLongLong(unsigned long long pos) const;
    std::uint64_t getULongLong(unsigned long long pos) const;

    void setChar(char src, unsigned long long pos);
    void setUChar(unsigned char src, unsigned long long pos);
    void setShort(std::int16_t src, unsigned long long pos);
    void setUShort(std::uint16_t src, unsigned long long pos);
    void setLong(std::int32_t src, unsigned long long pos);
    void setULong(std::uint32_t src, unsigned long long pos);
    void setLongLong(std::int64_t src, unsigned long long pos);
    void setULongLong(std::uint64_t src, unsigned long long pos);

    // New platform copies of the whole block, owned by the caller (release
    // with DisposeHandle / DisposePtr); null when the platform refuses the
    // memory or the length does not fit its signed 32-bit size.
    char** getAsHandle();
    char* getAsPointer();

    static void MemoryCopy(char* dst, const char* src, unsigned long long len);
    static void MemoryClear(char* dst, unsigned long long len);

    // The largest number of bytes handed to the host routine in one call.
    static const unsigned long long stepSize = 65535;

private:
    friend class aTestProbe;

    // True when the n bytes from pos lie inside the block.
    bool inRange(unsigned long long pos, unsigned long long n) const;
    // A new array of n bytes; std::bad_alloc when n cannot be an array size.
    static char* allocate(unsigned long long n);
    // Gives this block (while its constructor runs) a buffer of n bytes.
    void allocateOwn(unsigned long long n);

    // The host's byte-copy and byte-fill routines. Tests replace them to watch
    // the steps; the program always uses memcpy and memset.
    static void* (*hostCopy)(void* dst, const void* src, std::size_t len);
    static void* (*hostFill)(void* dst, int byte, std::size_t len);

    // Null only while length is 0; otherwise exactly `length` bytes from
    // array new, owned by this block.
    char* value;
    unsigned long long length;

    static unsigned long long objectCount;
};

#endif
