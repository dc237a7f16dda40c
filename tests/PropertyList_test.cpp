// Reading property lists: the limits that make every file safe to read, and
// hostile binary files (bad offsets, counts, widths, cycles, sharing bombs)
// refused without reading outside the file.
#include "PropertyList.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

namespace {

using platform::parseBinaryPropertyList;
using platform::parsePropertyList;

// Builds a binary property list from raw objects (marker and payload, with
// one-byte object references), one-byte offsets unless told otherwise.
struct BinaryList {
    std::vector<std::string> objects;
    unsigned top = 0;
    unsigned offsetWidth = 1;

    std::string bytes() const {
        std::string out = "bplist00";
        std::vector<size_t> offsets;
        for (const std::string& object : objects) {
            offsets.push_back(out.size());
            out += object;
        }
        size_t table = out.size();
        for (size_t offset : offsets)
            for (unsigned i = offsetWidth; i-- > 0;)
                out += static_cast<char>((offset >> (8 * i)) & 0xFF);
        std::string trailer(6, '\0');
        trailer += static_cast<char>(offsetWidth);
        trailer += '\x01'; // object references are one byte
        trailer += bigEndian8(objects.size()) + bigEndian8(top) + bigEndian8(table);
        return out + trailer;
    }

    static std::string bigEndian8(std::uint64_t v) {
        std::string out;
        for (int i = 7; i >= 0; --i)
            out += static_cast<char>((v >> (8 * i)) & 0xFF);
        return out;
    }
};

std::string array1(std::vector<unsigned char> refs) {
    std::string out(1, static_cast<char>(0xA0 | refs.size()));
    for (unsigned char r : refs)
        out += static_cast<char>(r);
    return out;
}

// Binary nesting: `levels` arrays, each holding the next `fanout` times (the
// same object, shared), the innermost holding `true`.
std::string binaryNesting(unsigned levels, unsigned fanout) {
    BinaryList list;
    for (unsigned i = 0; i < levels; ++i)
        list.objects.push_back(
            array1(std::vector<unsigned char>(fanout, static_cast<unsigned char>(i + 1))));
    list.objects.push_back("\x09");
    return list.bytes();
}

std::string xmlNesting(unsigned levels) {
    std::string out = "<plist version=\"1.0\">";
    for (unsigned i = 0; i < levels; ++i)
        out += "<array>";
    out += "<true/>";
    for (unsigned i = 0; i < levels; ++i)
        out += "</array>";
    return out + "</plist>";
}

// An XML array of `count` booleans: count + 1 values.
std::string xmlFlatArray(size_t count) {
    std::string out = "<plist version=\"1.0\"><array>";
    for (size_t i = 0; i < count; ++i)
        out += "<true/>";
    return out + "</array></plist>";
}

std::string xmlValue(const std::string& element) {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\"><dict><key>k</key>" +
           element + "</dict></plist>";
}

bool readable(const std::string& bytes) {
    CFTypeRef parsed = parsePropertyList(bytes);
    CFRelease(parsed);
    return parsed != nullptr;
}

TEST(PropertyListLimits, FilesAtTheLimitsReadAndPastThemDoNot) {
    const std::string big(platform::kMaxFileBytes, 'x');
    const struct {
        std::string bytes;
        bool readable;
        const char* why;
    } cases[] = {
        {xmlNesting(64), true, "64 levels of XML containers"},
        {xmlNesting(65), false, "65 levels of XML containers"},
        {binaryNesting(64, 1), true, "64 levels of binary containers"},
        {binaryNesting(65, 1), false, "65 levels of binary containers"},
        {binaryNesting(18, 2), true, "524,287 values through sharing"},
        {binaryNesting(19, 2), false, "1,048,575 values through sharing"},
        {xmlFlatArray(999999), true, "exactly one million XML values"},
        {xmlFlatArray(1000000), false, "one value past a million in XML"},
        {binaryNesting(40, 2), false, "a tiny file that would expand to 2^41 values"},
        {xmlValue("<string>" + big.substr(200) + "</string>"), true, "just under 16 MiB"},
        {xmlValue("<string>" + big + "</string>"), false, "past 16 MiB"},
        {xmlValue("<integer>18446744073709551615</integer>"), true, "largest unsigned 64-bit"},
        {xmlValue("<integer>-9223372036854775808</integer>"), true, "smallest signed 64-bit"},
        {xmlValue("<integer>18446744073709551616</integer>"), false, "past 64 bits"},
        {xmlValue("<integer>-9223372036854775809</integer>"), false, "below 64 bits"},
        {xmlValue("<string>\xc3\x28</string>"), false, "invalid UTF-8"},
        {xmlValue("<string>\xed\xa0\x80</string>"), false, "UTF-8 of a surrogate"},
        {xmlValue("<string>\xc0\xaf</string>"), false, "overlong UTF-8"},
        {xmlValue("<date>2020-13-01T00:00:00Z</date>"), false, "month 13"},
        {xmlValue("<data>!!!!</data>"), false, "data that is not base64"},
        {xmlValue("<real>1.5x</real>"), false, "real with trailing text"},
        {xmlValue("<integer></integer>"), false, "empty integer"},
        {xmlValue("<string><b/></string>"), false, "element inside a string"},
        {xmlValue("<unknown/>"), false, "unknown element"},
        {"<plist><dict><key>a</key></dict></plist>", false, "key without a value"},
        {"<plist><true/><true/></plist>", false, "two top values"},
        {"<!DOCTYPE plist [<!ENTITY a \"aaaaaaaa\"><!ENTITY b \"&a;&a;&a;&a;\">]>"
         "<plist><string>&b;</string></plist>",
         true, "declared entities stay unexpanded text (no billion laughs)"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(readable(c.bytes), c.readable) << c.why;
}

TEST(PropertyListLimits, WhiteSpaceAndCarriageReturnsSurviveXml) {
    CFTypeRef parsed = parsePropertyList(xmlValue("<string> \t </string>"));
    ASSERT_NE(parsed, nullptr);
    const void* value = CFDictionaryGetValue(static_cast<CFDictionaryRef>(parsed), CFSTR("k"));
    char text[16];
    ASSERT_TRUE(CFStringGetCString(static_cast<CFStringRef>(value), text, sizeof text,
                                   kCFStringEncodingASCII));
    EXPECT_STREQ(text, " \t ") << "a string of white space is kept";
    CFRelease(parsed);

    CFStringRef carriage = CFStringCreateWithCString(nullptr, "a\rb\r\nc", kCFStringEncodingASCII);
    const void* keys[] = {CFSTR("k")};
    const void* values[] = {carriage};
    CFDictionaryRef dict = CFDictionaryCreate(nullptr, keys, values, 1, nullptr, nullptr);
    std::string xml;
    ASSERT_TRUE(platform::writeXmlPropertyList(dict, xml));
    CFTypeRef back = parsePropertyList(xml);
    EXPECT_TRUE(platform::propertyListsEqual(dict, back)) << xml;
    CFRelease(back);
    CFRelease(dict);
    CFRelease(carriage);
}

TEST(PropertyListLimits, ValuesXmlCannotHoldAreRefusedNotAltered) {
    const struct {
        std::string element;
        const char* why;
    } cases[] = {
        {"<string>a\x01b</string>", "a control character"},
        {"<string>\xef\xbf\xbf</string>", "U+FFFF"},
    };
    // Binary files can carry them; the XML writer must refuse.
    for (const auto& c : cases) {
        std::string text = c.element.substr(8, c.element.size() - 17);
        BinaryList list;
        list.objects = {"\xd1\x01\x02", "\x51k", std::string(1, char(0x50 | text.size())) + text};
        CFTypeRef parsed = parseBinaryPropertyList(list.bytes());
        if (c.element.find('\xef') != std::string::npos) {
            EXPECT_EQ(parsed, nullptr) << c.why << ": not ASCII in an ASCII string";
            continue;
        }
        ASSERT_NE(parsed, nullptr) << c.why;
        std::string xml;
        EXPECT_FALSE(platform::writeXmlPropertyList(parsed, xml)) << c.why;
        CFRelease(parsed);
    }
    // A NUL in a UTF-16 string.
    BinaryList list;
    list.objects = {"\xd1\x01\x02", "\x51k", std::string("\x61\x00\x00", 3)};
    CFTypeRef parsed = parseBinaryPropertyList(list.bytes());
    ASSERT_NE(parsed, nullptr);
    std::string xml;
    EXPECT_FALSE(platform::writeXmlPropertyList(parsed, xml));
    CFRelease(parsed);
}

TEST(BinaryPropertyList, HostileFilesAreRefused) {
    BinaryList good;
    good.objects = {"\xd1\x01\x02", "\x54Path", "\x09"};
    ASSERT_TRUE(readable(good.bytes())) << "the base case reads";
    auto edited = [&](size_t fromEnd, std::string with) {
        std::string bytes = good.bytes();
        bytes.replace(bytes.size() - fromEnd, with.size(), with);
        return bytes;
    };
    BinaryList cycle;
    cycle.objects = {array1({0})};
    BinaryList keyNotString;
    keyNotString.objects = {"\xd1\x01\x02", "\x10\x05", "\x09"};
    BinaryList wideCount;
    wideCount.objects = {std::string("\xaf\x13\xff\xff\xff\xff\xff\xff\xff\xff", 10)};
    BinaryList longString;
    longString.objects = {"\x5f\x10\x40" + std::string(10, 'a')};
    BinaryList badRef;
    badRef.objects = {array1({7})};
    BinaryList loneSurrogate;
    loneSurrogate.objects = {std::string("\x61\xd8\x00", 3)};
    BinaryList hugeInteger;
    hugeInteger.objects = {std::string("\x14\x00\x00\x00\x00\x00\x00\x00\x01", 9) +
                           std::string(8, '\0')};
    BinaryList uid;
    uid.objects = {"\x80\x01"};
    const struct {
        std::string bytes;
        const char* why;
    } cases[] = {
        {edited(8, BinaryList::bigEndian8(1u << 30)), "offset table past the end"},
        {edited(16, BinaryList::bigEndian8(3)), "top object not among the objects"},
        {edited(24, BinaryList::bigEndian8(1ull << 62)), "absurd object count"},
        {edited(24, BinaryList::bigEndian8(0)), "no objects"},
        {edited(25, std::string(1, '\0')), "object references of width 0"},
        {edited(26, std::string(1, '\x09')), "offsets of width 9"},
        {edited(8, BinaryList::bigEndian8(2)), "offset table inside the header"},
        {cycle.bytes(), "an array holding itself"},
        {keyNotString.bytes(), "a dictionary key that is an integer"},
        {wideCount.bytes(), "a count beyond the file"},
        {longString.bytes(), "a string longer than the file"},
        {badRef.bytes(), "a reference to an object that does not exist"},
        {loneSurrogate.bytes(), "an unpaired UTF-16 surrogate"},
        {hugeInteger.bytes(), "a 128-bit integer past 64 bits"},
        {uid.bytes(), "a UID, which no property list holds"},
        {good.bytes().substr(0, 40), "truncated"},
        {"bplist00", "only the magic"},
    };
    for (const auto& c : cases)
        EXPECT_FALSE(readable(c.bytes)) << c.why;
}

// Random damage to valid files is refused or read, never a crash or a read
// outside the buffer (run under the sanitizers).
TEST(BinaryPropertyList, DamagedFilesNeverCrash) {
    BinaryList list;
    list.objects = {"\xd3\x01\x02\x03\x04\x05\x06",
                    "\x54Path",
                    "\x54Hide",
                    "\x53"
                    "Big",
                    "\x5f\x10\x03/A.",
                    "\x09",
                    std::string("\x13\x7f\xff\xff\xff\xff\xff\xff\xff", 9)};
    const std::string xml =
        "<?xml version=\"1.0\"?><plist version=\"1.0\"><dict><key>a</key><array><real>1.5</real>"
        "<date>2001-01-01T00:00:00Z</date><data>AAEC</data><integer>-3</integer></array>"
        "<key>b</key><dict/></dict></plist>";
    std::mt19937 random(12345);
    int read = 0;
    for (const std::string& original : {list.bytes(), xml}) {
        ASSERT_TRUE(readable(original));
        for (int round = 0; round < 3000; ++round) {
            std::string damaged = original;
            int edits = 1 + static_cast<int>(random() % 4);
            for (int e = 0; e < edits; ++e)
                damaged[random() % damaged.size()] = static_cast<char>(random() & 0xFF);
            if (random() % 8 == 0)
                damaged.resize(random() % damaged.size());
            read += readable(damaged) ? 1 : 0;
        }
    }
    EXPECT_GT(read, 0) << "some damage (inside string text, say) leaves a readable file";
    EXPECT_LT(read, 6000);
    EXPECT_EQ(PlatformLiveObjectCount(), 0) << "nothing read is kept";
}

} // namespace
