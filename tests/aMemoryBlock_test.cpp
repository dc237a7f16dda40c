// The memory block: construction, range tests, typed accessors in host byte
// order, copies out, and the platform handle and pointer conversions.
#include "AlertRecorder.h"
#include "PlatformMemory.h"
#include "TestProbe.h"
#include "aException.h"
#include "aMemoryBlock.h"
#include "aString.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <functional>
#include <memory>
#include <new>
#include <set>
#include <string>

namespace {

typedef unsigned long long u64;

std::string bytes(const aMemoryBlock& block) {
    if (block.getLength() == 0)
        return std::string();
    return std::string(block.getValue(), block.getLength());
}

bool littleEndianHost() {
    const std::uint16_t one = 1;
    unsigned char first;
    std::memcpy(&first, &one, 1);
    return first == 1;
}

// The throw site reported by an exception, read from its report's detail text
// (the record has no accessor for it): "File: <path>\rLine: <n>".
std::string throwSite(const aException& failure) {
    AlertRecorder::reset();
    failure.showDialogBox();
    return AlertRecorder::calls.at(0).explanation.value;
}

TEST(aMemoryBlock, ConstructorsGiveTheirLengthAndBytes) {
    Handle handle = NewHandle(3);
    std::memcpy(*handle, "h\0i", 3);
    Handle emptyHandle = NewHandle(0);
    const aMemoryBlock empty;
    struct Case {
        std::function<aMemoryBlock*()> make;
        std::string want;
        bool nullValue;
        const char* why;
    };
    const Case cases[] = {
        {[] { return new aMemoryBlock(); }, "", true, "the empty block has no buffer"},
        {[&] { return new aMemoryBlock(empty); }, "", false,
         "a copy of an empty block holds a zero-length array"},
        {[] { return new aMemoryBlock(aString("")); }, "", false, "an empty string"},
        {[] { return new aMemoryBlock(aString("abc")); }, "abc", false,
         "a string's bytes, no terminating zero"},
        {[] { return new aMemoryBlock(aString("a\0b", 3)); }, std::string("a\0b", 3), false,
         "a string's NUL bytes are data"},
        {[&] { return new aMemoryBlock(handle); }, std::string("h\0i", 3), false,
         "a copy of a handle's block"},
        {[&] { return new aMemoryBlock(emptyHandle); }, "", false, "a zero-size handle"},
        {[] { return new aMemoryBlock(5ULL); }, std::string(5, '\0'), false, "n zero bytes"},
        {[] { return new aMemoryBlock(0ULL); }, "", false, "zero bytes"},
        {[] { return new aMemoryBlock("xyz!", 3); }, "xyz", false, "a copy of n bytes"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.why);
        std::unique_ptr<aMemoryBlock> block(c.make());
        EXPECT_EQ(block->getLength(), c.want.size());
        EXPECT_EQ(bytes(*block), c.want);
        EXPECT_EQ(block->getValue() == nullptr, c.nullValue);
    }
    EXPECT_EQ(GetHandleSize(handle), 3) << "the handle stays the caller's, unchanged";
    DisposeHandle(handle);
    DisposeHandle(emptyHandle);
}

TEST(aMemoryBlock, CopiesOwnTheirBuffersAndAreCounted) {
    const u64 blocks = aTestProbe::count<aMemoryBlock>();
    const u64 live = aTestProbe::liveObjects();
    {
        aMemoryBlock original("abcd", 4);
        aMemoryBlock copy(original);
        EXPECT_EQ(aTestProbe::count<aMemoryBlock>(), blocks + 2);
        EXPECT_EQ(aTestProbe::liveObjects(), live + 2);
        EXPECT_NE(aTestProbe::id(copy), aTestProbe::id(original));
        EXPECT_NE(copy.getValue(), original.getValue());
        copy.setChar('X', 0);
        EXPECT_EQ(bytes(original), "abcd");
        EXPECT_EQ(bytes(copy), "Xbcd");
    }
    EXPECT_EQ(aTestProbe::count<aMemoryBlock>(), blocks);
    EXPECT_EQ(aTestProbe::liveObjects(), live);
}

TEST(aMemoryBlock, LengthsNoArrayCanHoldAreRefusedBeforeAnythingIsCopied) {
    const u64 blocks = aTestProbe::count<aMemoryBlock>();
    const u64 live = aTestProbe::liveObjects();
    const char small[4] = {1, 2, 3, 4};
    // None of these may allocate a smaller buffer and copy (or clear) the
    // full length into it; `small` would be read far past its end.
    EXPECT_THROW(aMemoryBlock(ULLONG_MAX), std::bad_alloc);
    EXPECT_THROW(aMemoryBlock(1ULL << 63), std::bad_alloc);
    EXPECT_THROW(aMemoryBlock(small, ULLONG_MAX), std::bad_alloc);
    EXPECT_THROW(aMemoryBlock(small, (1ULL << 63) + 4), std::bad_alloc);
    EXPECT_EQ(aTestProbe::count<aMemoryBlock>(), blocks) << "no half-built block stays counted";
    EXPECT_EQ(aTestProbe::liveObjects(), live);
}

// Every operation that takes a position, applied at (pos, n).
struct RangeOp {
    const char* name;
    std::function<void(aMemoryBlock&, u64 pos, u64 n)> run;
    u64 width; // 0: the range's length is n
};

const char source[16] = "0123456789abcde";

const RangeOp rangeOps[] = {
    {"get", [](aMemoryBlock& b, u64 p, u64 n) { delete[] b.get(p, n); }, 0},
    {"set", [](aMemoryBlock& b, u64 p, u64 n) { b.set(source, p, n); }, 0},
    {"getChar", [](aMemoryBlock& b, u64 p, u64) { b.getChar(p); }, 1},
    {"getUChar", [](aMemoryBlock& b, u64 p, u64) { b.getUChar(p); }, 1},
    {"getShort", [](aMemoryBlock& b, u64 p, u64) { b.getShort(p); }, 2},
    {"getUShort", [](aMemoryBlock& b, u64 p, u64) { b.getUShort(p); }, 2},
    {"getLong", [](aMemoryBlock& b, u64 p, u64) { b.getLong(p); }, 4},
    {"getULong", [](aMemoryBlock& b, u64 p, u64) { b.getULong(p); }, 4},
    {"getLongLong", [](aMemoryBlock& b, u64 p, u64) { b.getLongLong(p); }, 8},
    {"getULongLong", [](aMemoryBlock& b, u64 p, u64) { b.getULongLong(p); }, 8},
    {"setChar", [](aMemoryBlock& b, u64 p, u64) { b.setChar('!', p); }, 1},
    {"setUChar", [](aMemoryBlock& b, u64 p, u64) { b.setUChar(0xEE, p); }, 1},
    {"setShort", [](aMemoryBlock& b, u64 p, u64) { b.setShort(-3, p); }, 2},
    {"setUShort", [](aMemoryBlock& b, u64 p, u64) { b.setUShort(0xBEEF, p); }, 2},
    {"setLong", [](aMemoryBlock& b, u64 p, u64) { b.setLong(-5, p); }, 4},
    {"setULong", [](aMemoryBlock& b, u64 p, u64) { b.setULong(0xDEADBEEF, p); }, 4},
    {"setLongLong", [](aMemoryBlock& b, u64 p, u64) { b.setLongLong(-7, p); }, 8},
    {"setULongLong", [](aMemoryBlock& b, u64 p, u64) { b.setULongLong(~0ULL, p); }, 8},
};

// Runs op at (pos, n) on a 10-byte block; returns whether it threw the range
// exception, after checking that a refused operation left the block as it was.
bool refused(const RangeOp& op, u64 pos, u64 n, std::string* site = nullptr) {
    aMemoryBlock block("ABCDEFGHIJ", 10);
    try {
        op.run(block, pos, n);
    } catch (const aException& failure) {
        EXPECT_EQ(bytes(block), "ABCDEFGHIJ") << "nothing written before the test";
        EXPECT_EQ(failure.getDescription().getLength(), 0u);
        EXPECT_EQ(failure.getCondition().getLength(), 0u);
        if (site != nullptr)
            *site = throwSite(failure);
        return true;
    }
    return false;
}

TEST(aMemoryBlock, EveryPositionedOperationTestsItsWholeRangeFirst) {
    struct Case {
        u64 pos;
        u64 n; // for get and set; the typed ones use their width
        bool inRangeFor(u64 width) const { return pos <= 10 && width <= 10 - pos; }
        const char* why;
    };
    const Case cases[] = {
        {0, 10, "the whole block"},
        {2, 8, "a range ending exactly at the end"},
        {10, 0, "an empty range at the end"},
        {3, 8, "one byte past the end"},
        {11, 0, "an empty range past the end"},
        {ULLONG_MAX, 2, "pos + n wraps around to a small number"},
        {ULLONG_MAX - 3, 8, "the last 8-byte window wraps"},
        {1, ULLONG_MAX, "a huge length from a small position wraps"},
    };
    for (const RangeOp& op : rangeOps) {
        for (const Case& c : cases) {
            const u64 n = op.width == 0 ? c.n : op.width;
            const bool shouldThrow = !(c.pos <= 10 && n <= 10 - c.pos);
            EXPECT_EQ(refused(op, c.pos, c.n), shouldThrow)
                << op.name << " at " << c.pos << ", " << n << ": " << c.why;
        }
    }
}

TEST(aMemoryBlock, EachOperationThrowsFromItsOwnLineOfTheBlockSource) {
    std::set<std::string> sites;
    for (const RangeOp& op : rangeOps) {
        SCOPED_TRACE(op.name);
        std::string site;
        ASSERT_TRUE(refused(op, 11, 1, &site));
        const std::string file = "Sources/Data/aMemoryBlock.cpp\rLine: ";
        ASSERT_EQ(site.rfind("File: ", 0), 0u) << site;
        EXPECT_NE(site.find(file), std::string::npos) << site;
        EXPECT_GT(std::stoi(site.substr(site.find(file) + file.size())), 0);
        sites.insert(site);
    }
    EXPECT_EQ(sites.size(), std::size(rangeOps)) << "one throw site per operation";
}

TEST(aMemoryBlock, TheEmptyBlockRefusesEveryTypedAccessButGivesAnEmptyCopy) {
    aMemoryBlock empty;
    for (const RangeOp& op : rangeOps) {
        if (op.width == 0)
            continue;
        EXPECT_THROW(op.run(empty, 0, 0), aException) << op.name;
    }
    char* copy = empty.get(0, 0);
    EXPECT_NE(copy, nullptr) << "a new zero-length array";
    delete[] copy;
    EXPECT_NO_THROW(empty.set(nullptr, 0, 0));
}

TEST(aMemoryBlock, TypedValuesRoundTripAtAnyPositionInHostOrder) {
    aMemoryBlock block(16ULL);
    // Unaligned positions on purpose.
    block.setChar(-2, 1);
    EXPECT_EQ(block.getChar(1), -2);
    EXPECT_EQ(block.getUChar(1), 254) << "the same byte, unsigned";
    block.setUChar(200, 2);
    EXPECT_EQ(block.getUChar(2), 200);
    block.setShort(-2, 3);
    EXPECT_EQ(block.getShort(3), -2);
    EXPECT_EQ(block.getUShort(3), 65534);
    block.setUShort(65535, 5);
    EXPECT_EQ(block.getUShort(5), 65535);
    block.setLong(INT32_MIN, 7);
    EXPECT_EQ(block.getLong(7), INT32_MIN);
    EXPECT_EQ(block.getULong(7), 0x80000000u);
    block.setULong(0xFEDCBA98u, 1);
    EXPECT_EQ(block.getULong(1), 0xFEDCBA98u);
    block.setLongLong(INT64_MIN + 5, 3);
    EXPECT_EQ(block.getLongLong(3), INT64_MIN + 5);
    block.setULongLong(0x0123456789ABCDEFull, 8);
    EXPECT_EQ(block.getULongLong(8), 0x0123456789ABCDEFull);

    // The bytes are the integer's own representation, not swapped.
    std::uint64_t expected = 0x0123456789ABCDEFull;
    EXPECT_EQ(std::memcmp(block.getValue() + 8, &expected, 8), 0);
}

TEST(aMemoryBlock, ByteOrderIsTheHosts) {
    aMemoryBlock block(4ULL);
    block.setLong(1, 0);
    EXPECT_EQ(block.getLong(0), 1);
    EXPECT_EQ(block.getChar(0), littleEndianHost() ? 1 : 0);
    EXPECT_EQ(block.getChar(3), littleEndianHost() ? 0 : 1);
    block.setUChar(0xFF, 0);
    EXPECT_EQ(block.getChar(0), -1) << "signed 8-bit whatever char is on the host";
}

TEST(aMemoryBlock, GetAndSetCopyByteRanges) {
    aMemoryBlock block("ABCDEFGH", 8);
    block.set("xyz", 2, 3);
    EXPECT_EQ(bytes(block), "ABxyzFGH");
    char* part = block.get(1, 4);
    EXPECT_EQ(std::string(part, 4), "Bxyz");
    part[0] = '#';
    EXPECT_EQ(bytes(block), "ABxyzFGH") << "get hands out a copy";
    delete[] part;
}

TEST(aMemoryBlock, HandleAndPointerHoldCopiesOfTheWholeBlock) {
    aMemoryBlock block("a\0bc", 4);
    char** handle = block.getAsHandle();
    ASSERT_NE(handle, nullptr);
    EXPECT_EQ(GetHandleSize(handle), 4);
    EXPECT_EQ(std::string(*handle, 4), std::string("a\0bc", 4));
    char* pointer = block.getAsPointer();
    ASSERT_NE(pointer, nullptr);
    EXPECT_EQ(std::string(pointer, 4), std::string("a\0bc", 4));
    block.setChar('Z', 0);
    EXPECT_EQ((*handle)[0], 'a');
    EXPECT_EQ(pointer[0], 'a');
    DisposeHandle(handle);
    DisposePtr(pointer);

    aMemoryBlock empty;
    handle = empty.getAsHandle();
    ASSERT_NE(handle, nullptr) << "a zero-size handle";
    EXPECT_EQ(GetHandleSize(handle), 0);
    DisposeHandle(handle);
    pointer = empty.getAsPointer();
    EXPECT_NE(pointer, nullptr);
    DisposePtr(pointer);
}

TEST(aMemoryBlock, BlocksTooLongForThePlatformSizeGiveNull) {
    // The lengths are only claimed: a 32-bit size taken from them would be
    // small (or negative) and a truncated copy would come back.
    const u64 lengths[] = {
        1ULL << 31,       // one past the largest signed 32-bit size
        (1ULL << 32) + 4, // a 4-byte size after truncation
        ULLONG_MAX,       // -1 after truncation
    };
    aMemoryBlock block("abcd", 4);
    for (u64 length : lengths) {
        SCOPED_TRACE(length);
        const u64 real = aTestProbe::swapLength(block, length);
        char** handle = block.getAsHandle();
        char* pointer = block.getAsPointer();
        aTestProbe::swapLength(block, real);
        EXPECT_EQ(handle, nullptr);
        EXPECT_EQ(pointer, nullptr);
        DisposeHandle(handle);
        DisposePtr(pointer);
    }
}

} // namespace
