// Scalar types and result codes shared by every service of the platform layer.
//
// Widths are fixed: Boolean is one byte holding 0 or 1, OSErr a signed 16-bit
// result code (0 is success), Size a signed 32-bit byte count. Result codes
// keep the platform's classic values, so callers may compare against them.
#ifndef LUMORA_PLATFORM_TYPES_H
#define LUMORA_PLATFORM_TYPES_H

#include <cstdint>

typedef unsigned char Boolean;
typedef std::int8_t SInt8;
typedef std::uint8_t UInt8;
typedef std::int16_t SInt16;
typedef std::uint16_t UInt16;
typedef std::int32_t SInt32;
typedef std::uint32_t UInt32;
typedef std::int64_t SInt64;
typedef std::uint64_t UInt64;

typedef SInt16 OSErr;
typedef SInt32 OSStatus;

// A count of bytes handed to the memory services: signed 32 bits.
typedef SInt32 Size;

// A Pascal string: one count byte, then up to 255 bytes of text.
typedef unsigned char Str255[256];
typedef unsigned char Str63[64];
typedef const unsigned char* ConstStr255Param;
typedef unsigned char* StringPtr;

enum : OSErr {
    noErr = 0,
    paramErr = -50,
    memFullErr = -108,
    nsvErr = -35,
    ioErr = -36,
    bdNamErr = -37,
    fnfErr = -43,
    permErr = -54,
    dirNFErr = -120,
    errFSNotAFolder = -1407,
    errFSNoMoreItems = -1417,
};

#endif
