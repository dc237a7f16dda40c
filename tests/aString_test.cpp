// The byte string: construction from every source form, comparison, appending,
// insertion, cutting, byte access, a string used as its own source, failed
// allocations and the string's identifiers and counts.
#include "AllocationProbe.h"
#include "TestProbe.h"
#include "aString.h"

#include <gtest/gtest.h>

#include <functional>
#include <new>
#include <string>
#include <vector>

namespace {

using namespace std::string_literals;

std::string text(const aString& s) {
    return std::string(s.getValue(), s.getLength());
}

aString make(const std::string& bytes) {
    return aString(bytes.data(), bytes.size());
}

const unsigned char* pascal(const char* bytes) {
    return reinterpret_cast<const unsigned char*>(bytes);
}

// Construction ---------------------------------------------------------------

struct BuildCase {
    std::function<aString()> build;
    std::string expected;
    const char* why;
};

TEST(aString, ConstructsFromEverySourceForm) {
    const BuildCase cases[] = {
        {[] { return aString(); }, "", "default is empty"},
        {[] { return aString(static_cast<const char*>(nullptr)); }, "", "null C string is empty"},
        {[] { return aString(static_cast<const unsigned char*>(nullptr)); }, "",
         "null Pascal string is empty"},
        {[] { return aString('\0'); }, "\0"s, "the char NUL is one byte"},
        {[] { return aString(static_cast<unsigned char>(0xE9)); }, "\xE9",
         "unsigned char keeps its byte"},
        {[] { return aString("abc"); }, "abc", "C string up to its NUL"},
        {[] { return aString("ab\0cd"); }, "ab", "C string stops at the first NUL"},
        {[] {
             return aString(pascal("\x03"
                                   "abcd"));
         },
         "abc", "Pascal string reads its count, not up to a NUL"},
        {[] {
             return aString(pascal("\x00"
                                   "abc"));
         },
         "", "Pascal count 0"},
        {[] { return aString(pascal("\x02\0\0")); }, "\0\0"s, "Pascal text may hold NULs"},
        {[] { return aString("a\0b", 3); }, "a\0b"s, "counted bytes keep an inner NUL"},
        {[] { return aString(nullptr, 0); }, "", "counted 0 reads nothing"},
        {[] {
             aString s("x\0y", 3);
             return aString(s);
         },
         "x\0y"s, "a copy takes every byte"},
    };
    for (const BuildCase& c : cases) {
        aString s = c.build();
        EXPECT_EQ(text(s), c.expected) << c.why;
        EXPECT_NE(s.getValue(), nullptr) << c.why << ": the buffer is never null";
    }
}

TEST(aString, BuffersAreExactSize) {
    aString empty;
    EXPECT_EQ(allocationProbe::lastSize, 0u) << "the empty string holds a zero-length buffer";
    aString s("abc");
    EXPECT_EQ(allocationProbe::lastSize, 3u) << "no terminator, no spare room";
    s.concatenate("de");
    EXPECT_EQ(allocationProbe::lastSize, 5u);
    s.insert("XY", 1);
    EXPECT_EQ(allocationProbe::lastSize, 7u);
    s.left(2);
    EXPECT_EQ(allocationProbe::lastSize, 2u);
}

// Comparison -----------------------------------------------------------------

struct CompareCase {
    std::string lhs;
    std::string rhs;
    int expected;
    const char* why;
};

TEST(aString, ComparesBytesAsSignedValues) {
    const std::string same10k(10000, 'q');
    const CompareCase cases[] = {
        {"abc", "abd", -1, "last byte decides"},
        {"abc", "ab", 1, "longer is greater when the prefix matches"},
        {"ab", "abc", -1, "shorter is less when the prefix matches"},
        {"", "", 0, "two empty strings"},
        {"", "a", -1, "empty is less than anything"},
        {"Abc", "abc", -1, "case-sensitive: 'A' < 'a'"},
        {"\xE9", "a", -1, "0xE9 is negative as a signed byte"},
        {"\x7F", "\x80", 1, "0x7F > 0x80 (-128), unlike unsigned order"},
        {"\xFF", "\0"s, -1, "0xFF (-1) < 0x00"},
        {"a\0b"s, "a", 1, "an inner NUL is a byte, not an end"},
        {"a\0"s, "a\0b"s, -1, "prefix with NULs"},
        {"a\0c"s, "a\0b"s, 1, "bytes after an inner NUL are compared"},
        {same10k, same10k, 0, "long equal texts"},
        {same10k + "\x80", same10k + "\x01", -1, "difference after long equal run, signed"},
        {std::string(4096, 'q') + "\x01", std::string(4096, 'q') + "\xF0", 1,
         "difference right at a 4096-byte boundary"},
        {std::string(4095, 'q') + "\xF0", std::string(4095, 'q') + "\x01", -1,
         "difference just before a 4096-byte boundary"},
        {same10k, same10k + "a", -1, "long prefix, shorter is less"},
    };
    for (const CompareCase& c : cases) {
        aString lhs = make(c.lhs);
        aString rhs = make(c.rhs);
        EXPECT_EQ(lhs.compare(rhs), c.expected) << c.why;
        EXPECT_EQ(lhs.compare(c.rhs.data(), c.rhs.size()), c.expected) << c.why << " (counted)";
        EXPECT_EQ(rhs.compare(lhs), -c.expected) << c.why << " (reversed)";
        EXPECT_EQ(lhs == rhs, c.expected == 0) << c.why;
        EXPECT_EQ(lhs != rhs, c.expected != 0) << c.why;
        EXPECT_EQ(lhs < rhs, c.expected < 0) << c.why;
        EXPECT_EQ(lhs > rhs, c.expected > 0) << c.why;
        EXPECT_EQ(lhs <= rhs, c.expected <= 0) << c.why;
        EXPECT_EQ(lhs >= rhs, c.expected >= 0) << c.why;
    }
}

TEST(aString, ComparesWithEveryOtherSourceForm) {
    aString abc("abc");
    aString a("a");
    aString ab("ab");
    EXPECT_TRUE(abc == "abc") << "C string";
    EXPECT_TRUE(abc == pascal("\x03"
                              "abc"))
        << "an unsigned char pointer is a Pascal string";
    EXPECT_TRUE(ab == pascal("\x02"
                             "abc"))
        << "a Pascal string ends at its count, not at a NUL";
    std::string looksLikeC = "abc" + std::string(97, '\0');
    EXPECT_FALSE(abc == pascal(looksLikeC.c_str()))
        << "'a' is a count of 97 here, never the start of a C string";
    EXPECT_TRUE(a == 'a') << "char";
    EXPECT_TRUE(a == static_cast<unsigned char>('a')) << "unsigned char";
    EXPECT_TRUE(a > static_cast<unsigned char>(0xE9)) << "unsigned char byte compared signed";
    EXPECT_TRUE(a > '\xE9');
    EXPECT_EQ(abc.compare("abc\0zz", 6), -1) << "counted bytes keep what follows a NUL";
    EXPECT_EQ(abc.compare("abc\0zz"), 0) << "C string stops at the NUL";
    EXPECT_EQ(aString().compare(static_cast<const char*>(nullptr)), 0) << "null C string";
    EXPECT_EQ(aString().compare(static_cast<const unsigned char*>(nullptr)), 0)
        << "null Pascal string";
    EXPECT_EQ(aString('\0').compare(""), 1) << "the NUL string has one byte, the C string none";
    EXPECT_EQ(aString('\0').compare('\0'), 0);
}

// Appending and inserting ----------------------------------------------------

TEST(aString, AppendsEveryForm) {
    aString s("abc");
    s.concatenate("");
    EXPECT_EQ(text(s), "abc") << "appending the empty text";
    s.concatenate(aString("de"));
    s.concatenate('\0');
    s += static_cast<unsigned char>(0xE9);
    s += pascal("\x02xyz");
    s.concatenate("q\0r", 3);
    s += "!";
    EXPECT_EQ(text(s), "abcde\0\xE9xyq\0r!"s);
}

TEST(aString, NewStringsLeaveTheirSourceUnchanged) {
    aString s("abcd");
    EXPECT_EQ(text(s.concatenated("ef")), "abcdef");
    EXPECT_EQ(text(s.concatenated("e\0f", 3)), "abcde\0f"s);
    EXPECT_EQ(text(s + 'x'), "abcdx");
    EXPECT_EQ(text(s + s), "abcdabcd");
    EXPECT_EQ(text(s.lefted(2)), "ab");
    EXPECT_EQ(text(s), "abcd");
}

struct InsertCase {
    std::string base;
    std::string inserted;
    unsigned long long pos;
    std::string expected;
    const char* why;
};

TEST(aString, InsertsInFrontOfPositionAndAppendsPastTheEnd) {
    const InsertCase cases[] = {
        {"abc", "XY", 0, "XYabc", "front"},
        {"abc", "XY", 1, "aXYbc", "middle"},
        {"abc", "XY", 2, "abXYc", "before the last byte"},
        {"abc", "XY", 3, "abcXY", "at the end appends"},
        {"abc", "XY", 100, "abcXY", "past the end appends"},
        {"abc", "XY", ~0ULL, "abcXY", "largest position appends"},
        {"", "XY", 7, "XY", "into the empty string at any position"},
        {"a\0c"s, "\0"s, 2, "a\0\0c"s, "NUL bytes on both sides"},
    };
    for (const InsertCase& c : cases) {
        aString s = make(c.base);
        s.insert(make(c.inserted), c.pos);
        EXPECT_EQ(text(s), c.expected) << c.why;
        aString counted = make(c.base);
        counted.insert(c.inserted.data(), c.inserted.size(), c.pos);
        EXPECT_EQ(text(counted), c.expected) << c.why << " (counted form: src, nlength, pos)";
    }
}

TEST(aString, InsertsEveryOtherForm) {
    aString s("ac");
    s.insert('b', 1);
    s.insert(static_cast<unsigned char>('d'), 9);
    s.insert("<<", 0);
    s.insert(pascal("\x01>>"), 99);
    EXPECT_EQ(text(s), "<<abcd>");
}

TEST(aString, InsertingNothingKeepsTheBuffer) {
    aString s("abc");
    char* buffer = s.getValue();
    s.insert(aString(), 1);
    s.insert("", 0);
    s.insert(static_cast<const char*>(nullptr), 2);
    s.insert(pascal("\x00"), 2);
    s.insert("zzz", 0, 1);
    EXPECT_EQ(text(s), "abc");
    EXPECT_EQ(s.getValue(), buffer);
}

// Cutting and byte access ----------------------------------------------------

struct LeftCase {
    std::string base;
    unsigned long long count;
    std::string expected;
    bool keepsBuffer;
    const char* why;
};

TEST(aString, LeftKeepsTheFirstBytes) {
    const LeftCase cases[] = {
        {"abcd", 2, "ab", false, "cut"},
        {"abcd", 4, "abcd", false, "the whole length: same text"},
        {"abcd", 5, "abcd", true, "longer than the text: nothing happens"},
        {"abcd", ~0ULL, "abcd", true, "largest count: nothing happens"},
        {"abcd", 0, "", false, "zero empties"},
        {"", 0, "", true, "empty stays empty"},
        {"", 3, "", true, "empty stays empty for any count"},
        {"a\0cd"s, 2, "a\0"s, false, "an inner NUL is kept"},
    };
    for (const LeftCase& c : cases) {
        aString s = make(c.base);
        char* buffer = s.getValue();
        s.left(c.count);
        EXPECT_EQ(text(s), c.expected) << c.why;
        EXPECT_NE(s.getValue(), nullptr) << c.why;
        if (c.keepsBuffer) {
            EXPECT_EQ(s.getValue(), buffer) << c.why << ": the buffer is kept";
        }
    }
}

TEST(aString, SubscriptWritesInPlace) {
    aString s("abc");
    char* buffer = s.getValue();
    s[1] = 'X';
    s[static_cast<unsigned long long>(2)] = '\0';
    EXPECT_EQ(text(s), "aX\0"s);
    EXPECT_EQ(s.getLength(), 3u);
    EXPECT_EQ(s.getValue(), buffer);
}

// A string as its own source -------------------------------------------------

struct AliasCase {
    std::string base;
    std::function<void(aString&)> change;
    std::string expected;
    const char* why;
};

TEST(aString, OwnTextAsSourceActsAsIfCopiedFirst) {
    const AliasCase cases[] = {
        {"abc", [](aString& s) { s.assign(s); }, "abc", "assign itself"},
        {"abc", [](aString& s) { s = s; }, "abc", "operator= itself"},
        {"abcd", [](aString& s) { s.assign(s.getValue() + 1, 2); }, "bc",
         "assign counted bytes from its own buffer"},
        {"xyz\0"s, [](aString& s) { s.assign(static_cast<const char*>(s.getValue() + 1)); }, "yz",
         "assign a C string inside its own buffer"},
        {"\x02"
         "abc",
         [](aString& s) { s = reinterpret_cast<const unsigned char*>(s.getValue()); }, "ab",
         "assign a Pascal string inside its own buffer"},
        {"abc", [](aString& s) { s.concatenate(s); }, "abcabc", "append itself"},
        {"abc", [](aString& s) { s += s; }, "abcabc", "operator+= itself"},
        {"abc", [](aString& s) { s.concatenate(s.getValue(), s.getLength()); }, "abcabc",
         "append counted bytes of its own buffer"},
        {"abc", [](aString& s) { s.insert(s, 1); }, "aabcbc", "insert itself"},
        {"abc", [](aString& s) { s.insert(s, 0); }, "abcabc", "insert itself at the front"},
        {"abc", [](aString& s) { s.insert(s.getValue() + 1, 2, 0); }, "bcabc",
         "insert counted bytes of its own buffer"},
        {"ab\0"s, [](aString& s) { s.insert(static_cast<const char*>(s.getValue()), 3); },
         "ab\0ab"s, "insert a C string of its own buffer past the end"},
    };
    for (const AliasCase& c : cases) {
        aString s = make(c.base);
        c.change(s);
        EXPECT_EQ(text(s), c.expected) << c.why;
    }
}

// Failed allocations ---------------------------------------------------------

TEST(aString, UnallocatableLengthThrowsAndKeepsTheText) {
    aString s("keep");
    char* buffer = s.getValue();
    unsigned long long strings = aTestProbe::count<aString>();
    unsigned long long live = aTestProbe::liveObjects();
    const unsigned long long huge[] = {1ULL << 63, ~0ULL};
    for (unsigned long long n : huge) {
        EXPECT_THROW(s.assign("x", n), std::bad_alloc) << n;
        EXPECT_THROW(s.concatenate("x", n), std::bad_alloc) << n;
        EXPECT_THROW(s.insert("x", n, 1), std::bad_alloc) << n;
        EXPECT_THROW(aString("x", n), std::bad_alloc) << n;
        EXPECT_EQ(text(s), "keep");
        EXPECT_EQ(s.getValue(), buffer);
        EXPECT_EQ(aTestProbe::count<aString>(), strings) << "a failed construction is not counted";
        EXPECT_EQ(aTestProbe::liveObjects(), live);
    }
}

struct FailureCase {
    std::function<void(aString&)> change;
    long allowed; // allocations that succeed before the failing one
    const char* why;
};

TEST(aString, FailedAllocationLeavesTheStringAsItWas) {
    const FailureCase cases[] = {
        {[](aString& s) { s.assign(); }, 0, "assign empty"},
        {[](aString& s) { s.assign("xyz"); }, 0, "assign C string"},
        {[](aString& s) { s = 'x'; }, 0, "assign char"},
        {[](aString& s) { s.concatenate(s); }, 0, "append a string"},
        {[](aString& s) { s += "tail"; }, 0, "append C string: the temporary fails"},
        {[](aString& s) { s += "tail"; }, 1, "append C string: the result fails"},
        {[](aString& s) { s.insert(pascal("\x02xy"), 1); }, 0, "insert: the temporary fails"},
        {[](aString& s) { s.insert(pascal("\x02xy"), 1); }, 1, "insert: the result fails"},
        {[](aString& s) { s.left(2); }, 0, "left"},
    };
    for (const FailureCase& c : cases) {
        aString s("abcd");
        char* buffer = s.getValue();
        unsigned long long strings = aTestProbe::count<aString>();
        unsigned long long live = aTestProbe::liveObjects();
        {
            allocationProbe::FailureScope failing(c.allowed);
            EXPECT_THROW(c.change(s), std::bad_alloc) << c.why;
        }
        EXPECT_EQ(text(s), "abcd") << c.why;
        EXPECT_EQ(s.getValue(), buffer) << c.why;
        EXPECT_EQ(aTestProbe::count<aString>(), strings) << c.why << ": temporaries destroyed";
        EXPECT_EQ(aTestProbe::liveObjects(), live) << c.why;
        s.assign("still usable");
        EXPECT_EQ(text(s), "still usable") << c.why;
    }
}

// Identifiers and counts -----------------------------------------------------

TEST(aString, CopiesTakeFreshIdentifiersAndAssignmentChangesNone) {
    aString a("a");
    aString b("b");
    unsigned long long idA = aTestProbe::id(a), idB = aTestProbe::id(b);
    unsigned long long strings = aTestProbe::count<aString>();
    unsigned long long live = aTestProbe::liveObjects();
    unsigned long long handed = aTestProbe::idsHandedOut();
    {
        aString copy(a);
        EXPECT_EQ(aTestProbe::id(copy), handed + 1) << "a copy is a new object";
        EXPECT_EQ(aTestProbe::count<aString>(), strings + 1);
        EXPECT_EQ(aTestProbe::liveObjects(), live + 1);
    }
    b = a;
    b.assign("xyz", 3);
    b += b;
    b.insert(a, 1);
    b.left(1);
    b[0] = 'q';
    EXPECT_EQ(aTestProbe::id(a), idA);
    EXPECT_EQ(aTestProbe::id(b), idB) << "changing a string never touches its object base";
    EXPECT_EQ(aTestProbe::count<aString>(), strings);
    EXPECT_EQ(aTestProbe::liveObjects(), live);
    EXPECT_EQ(aTestProbe::idsHandedOut(), handed + 1) << "only the copy took an identifier";
}

struct TemporaryCase {
    std::function<void(aString&)> use;
    unsigned long long temporaries;
    const char* why;
};

TEST(aString, TemporariesOfOtherFormsAreCountedAndDestroyed) {
    const TemporaryCase cases[] = {
        {[](aString& s) { (void)(s == "abc"); }, 1, "compare with a C string"},
        {[](aString& s) { (void)(s < pascal("\x01z")); }, 1, "compare with a Pascal string"},
        {[](aString& s) { (void)s.compare('a'); }, 1, "compare with a char"},
        {[](aString& s) { (void)s.compare(aString("abc")); }, 1, "the caller's own temporary"},
        {[](aString& s) { (void)s.compare(s); }, 0, "compare with a string builds nothing"},
        {[](aString& s) { s.concatenate('x'); }, 1, "append a char"},
        {[](aString& s) { s.concatenate(s); }, 0, "append a string builds nothing"},
        {[](aString& s) { s.insert("xy", 1); }, 1, "insert a C string"},
        {[](aString& s) { s.assign("xy"); }, 0, "assign builds nothing"},
    };
    for (const TemporaryCase& c : cases) {
        aString s("abc");
        unsigned long long strings = aTestProbe::count<aString>();
        unsigned long long live = aTestProbe::liveObjects();
        unsigned long long handed = aTestProbe::idsHandedOut();
        c.use(s);
        EXPECT_EQ(aTestProbe::count<aString>(), strings) << c.why << ": count back after";
        EXPECT_EQ(aTestProbe::liveObjects(), live) << c.why;
        EXPECT_EQ(aTestProbe::idsHandedOut(), handed + c.temporaries) << c.why;
    }
}

} // namespace
