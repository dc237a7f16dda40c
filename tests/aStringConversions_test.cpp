// Conversions of the byte string: single characters, C strings, the three
// Pascal formats with their cuts, the prefix readers, ASCII case mapping, the
// decimal texts of integers and the end-of-line string.
#include "AllocationProbe.h"
#include "aString.h"

#include <gtest/gtest.h>

#include <climits>
#include <memory>
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

// Some text whose bytes differ from one position to the next, so a copy from
// the wrong place shows.
std::string patterned(std::size_t n) {
    std::string s(n, '\0');
    for (std::size_t i = 0; i < n; i++)
        s[i] = static_cast<char>(i * 7 + i / 256);
    return s;
}

TEST(aStringConversions, FirstByteAsCharacter) {
    aString empty;
    EXPECT_EQ(empty.getAsChar(), '\0');
    EXPECT_EQ(empty.getAsUnsignedChar(), 0);
    aString accented("\xE9t\xE9");
    EXPECT_EQ(accented.getAsChar(), '\xE9');
    EXPECT_EQ(accented.getAsUnsignedChar(), 233);
    EXPECT_EQ(static_cast<char>(accented), '\xE9');
    EXPECT_EQ(static_cast<unsigned char>(accented), 233);
}

enum class Format { C, Pascal, Short, Long };

struct FormatCase {
    Format format;
    std::string source;
    std::string expected; // every byte of the new buffer
    const char* why;
};

// Runs one conversion and returns its whole buffer, sized by what it allocated.
std::string convert(Format format, const aString& s) {
    unsigned char* raw = nullptr;
    switch (format) {
    case Format::C:
        raw = reinterpret_cast<unsigned char*>(s.getAsCString());
        break;
    case Format::Pascal:
        raw = s.getAsPString();
        break;
    case Format::Short:
        raw = s.getAsShortPString();
        break;
    case Format::Long:
        raw = s.getAsLongPString();
        break;
    }
    std::unique_ptr<unsigned char[]> owned(raw);
    return std::string(reinterpret_cast<const char*>(raw), allocationProbe::lastSize);
}

TEST(aStringConversions, EveryFormatWithItsCut) {
    const std::string t300 = patterned(300);
    const std::string t70k = patterned(70000);
    const std::string t65535 = patterned(65535);
    const FormatCase cases[] = {
        {Format::C, "", "\0"s, "empty: one NUL"},
        {Format::C, "abc", "abc\0"s, "text then NUL"},
        {Format::C, "a\0b"s, "a\0b\0"s, "inner NUL copied as it is"},
        {Format::C, t70k, t70k + '\0', "never cut"},
        {Format::Pascal, "", "\0"s, "empty: a count of 0"},
        {Format::Pascal, "abc",
         "\x03"
         "abc",
         "count then text"},
        {Format::Pascal, t300.substr(0, 255), "\xFF" + t300.substr(0, 255), "255 fits"},
        {Format::Pascal, t300.substr(0, 256), "\xFF" + t300.substr(0, 255), "256 is cut to 255"},
        {Format::Pascal, t300, "\xFF" + t300.substr(0, 255), "300 is cut to the first 255"},
        {Format::Short, "", "\0\0"s, "empty: two zero bytes"},
        {Format::Short, "abc",
         "\0\x03"
         "abc"s,
         "count most significant byte first"},
        {Format::Short, t300, "\x01\x2C"s + t300, "300 = 0x012C, high byte first"},
        {Format::Short, t65535, "\xFF\xFF" + t65535, "65,535 fits"},
        {Format::Short, t70k, "\xFF\xFF" + t70k.substr(0, 65535), "70,000 cut to 65,535"},
        {Format::Long, "", "\0\0\0\0"s, "empty: four zero bytes"},
        {Format::Long, "abc",
         "\0\0\0\x03"
         "abc"s,
         "count most significant byte first"},
        {Format::Long, t70k, "\0\x01\x11\x70"s + t70k, "70,000 = 0x00011170, not cut"},
    };
    for (const FormatCase& c : cases) {
        aString s = make(c.source);
        std::string got = convert(c.format, s);
        EXPECT_EQ(got.size(), c.expected.size()) << c.why << ": buffer size";
        EXPECT_TRUE(got == c.expected) << c.why;
        EXPECT_EQ(text(s), c.source) << c.why << ": the string is unchanged";
    }
}

TEST(aStringConversions, ConversionOperatorsMakeNewBuffers) {
    aString s("abc");
    std::unique_ptr<char[]> c(static_cast<char*>(s));
    std::unique_ptr<unsigned char[]> p(static_cast<unsigned char*>(s));
    EXPECT_NE(c.get(), s.getValue()) << "a new buffer, not the string's own";
    s[0] = 'X';
    EXPECT_EQ(std::string(c.get()), "abc") << "later changes do not reach the result";
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(p.get()), 4), "\x03"
                                                                      "abc");
}

TEST(aStringConversions, PrefixReaders) {
    const unsigned char bytes258[] = {0x01, 0x02, 0xEE};
    const unsigned char bytes65536[] = {0x00, 0x01, 0x00, 0x00, 0xEE};
    const unsigned char allOnes[] = {0xFF, 0xFF, 0xFF, 0xFF};
    const unsigned char order[] = {0x01, 0x02, 0x03, 0x04};
    EXPECT_EQ(aString::GetShortPStringLength(bytes258), 258u) << "first byte x 256 + second";
    EXPECT_EQ(aString::GetLongPStringLength(bytes65536), 65536u);
    EXPECT_EQ(aString::GetShortPStringLength(allOnes), 65535u) << "bytes are unsigned";
    EXPECT_EQ(aString::GetLongPStringLength(allOnes), 4294967295u) << "bytes are unsigned";
    EXPECT_EQ(aString::GetLongPStringLength(order), 0x01020304u) << "most significant first";
    EXPECT_EQ(aString::GetPStringLength(allOnes), 255u);
    EXPECT_EQ(aString::GetShortPStringLength(nullptr), 0u);
    EXPECT_EQ(aString::GetLongPStringLength(nullptr), 0u);
    EXPECT_EQ(aString::GetPStringLength(nullptr), 0u);
    EXPECT_EQ(aString::GetCStringLength(nullptr), 0u);
    EXPECT_EQ(aString::GetCStringLength("ab\0c"), 2u);
}

TEST(aStringConversions, ReadersGiveBackWhatTheWritersPutInFront) {
    const std::size_t lengths[] = {0, 1, 255, 256, 65535, 65536, 70000};
    for (std::size_t n : lengths) {
        aString s = make(patterned(n));
        std::unique_ptr<unsigned char[]> shortP(s.getAsShortPString());
        std::unique_ptr<unsigned char[]> longP(s.getAsLongPString());
        std::unique_ptr<unsigned char[]> p(s.getAsPString());
        EXPECT_EQ(aString::GetShortPStringLength(shortP.get()), n < 65535 ? n : 65535) << n;
        EXPECT_EQ(aString::GetLongPStringLength(longP.get()), n) << n;
        EXPECT_EQ(aString::GetPStringLength(p.get()), n < 255 ? n : 255) << n;
    }
}

struct CaseMappingCase {
    std::string source;
    std::string upper;
    std::string lower;
    const char* why;
};

TEST(aStringConversions, CaseMappingIsAsciiOnlyAndInPlace) {
    std::string allBytes;
    std::string allUpper;
    std::string allLower;
    for (int b = 0; b < 256; b++) {
        allBytes += static_cast<char>(b);
        allUpper += static_cast<char>(b >= 'a' && b <= 'z' ? b - 0x20 : b);
        allLower += static_cast<char>(b >= 'A' && b <= 'Z' ? b + 0x20 : b);
    }
    const CaseMappingCase cases[] = {
        {"Hello, World 42", "HELLO, WORLD 42", "hello, world 42", "letters only"},
        {"\xCB\x80\xE9\xC9", "\xCB\x80\xE9\xC9", "\xCB\x80\xE9\xC9", "0x80..0xFF never change"},
        {"@[`{", "@[`{", "@[`{", "neighbours of the letter ranges"},
        {"a\0Z"s, "A\0Z"s, "a\0z"s, "NUL bytes do not end the text"},
        {allBytes, allUpper, allLower, "every byte value"},
        {"", "", "", "empty"},
    };
    for (const CaseMappingCase& c : cases) {
        aString s = make(c.source);
        char* buffer = s.getValue();
        EXPECT_EQ(text(s.uppercased()), c.upper) << c.why;
        EXPECT_EQ(text(s.lowercased()), c.lower) << c.why;
        EXPECT_EQ(text(s), c.source) << c.why << ": the copying forms leave the string alone";
        s.uppercase();
        EXPECT_EQ(text(s), c.upper) << c.why;
        s = make(c.source);
        buffer = s.getValue();
        s.lowercase();
        EXPECT_EQ(text(s), c.lower) << c.why;
        EXPECT_EQ(s.getValue(), buffer) << c.why << ": mapped in place";
    }
}

struct IntegerCase {
    long long value; // an int, or an unsigned int for the unsigned rows
    const char* expected;
    const char* why;
};

TEST(aStringConversions, DecimalTextOfSignedIntegers) {
    const IntegerCase cases[] = {
        {0, "0", "zero is one digit"},
        {7, "7", "one digit"},
        {-7, "-7", "minus sign, no space"},
        {10, "10", "zero digit at the end"},
        {100, "100", "inner and final zeros"},
        {-1234, "-1234", "several digits, negative"},
        {INT_MAX, "2147483647", "largest"},
        {-INT_MAX, "-2147483647", "most negative with a positive twin"},
        {INT_MIN, "-2147483648", "most negative: its magnitude does not fit an int"},
    };
    for (const IntegerCase& c : cases) {
        aString s = aString::GetFromInteger(static_cast<int>(c.value));
        EXPECT_EQ(text(s), c.expected) << c.why;
    }
}

TEST(aStringConversions, DecimalTextOfUnsignedIntegers) {
    const IntegerCase cases[] = {
        {0, "0", "zero is one digit"},
        {10, "10", "zero digit at the end"},
        {1000000000, "1000000000", "ten digits, nine zeros"},
        {2147483648LL, "2147483648", "past the signed range"},
        {UINT_MAX, "4294967295", "largest"},
    };
    for (const IntegerCase& c : cases) {
        aString s = aString::GetFromUnsignedInteger(static_cast<unsigned int>(c.value));
        EXPECT_EQ(text(s), c.expected) << c.why;
    }
}

TEST(aStringConversions, EndOfLineIsOneCarriageReturn) {
    aString eol = aString::GetEndOfLine();
    EXPECT_EQ(text(eol), "\r");
    EXPECT_TRUE(eol == "\x0D");
    EXPECT_EQ(allocationProbe::lastSize, 1u);
}

} // namespace
