// The integer object: its decimal text, the same as the string's decimal text
// for every value, and its identifiers and counts.
#include "TestProbe.h"
#include "aInteger.h"
#include "aString.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>

namespace {

std::string text(const aString& s) {
    return std::string(s.getValue(), s.getLength());
}

struct TextCase {
    int value;
    const char* expected;
    const char* why;
};

const TextCase textCases[] = {
    {0, "0", "zero is one digit"},
    {7, "7", "one digit"},
    {-7, "-7", "minus sign, no space"},
    {10, "10", "zero digit at the end"},
    {100, "100", "inner and final zeros"},
    {105, "105", "inner zero"},
    {-1234, "-1234", "several digits, negative"},
    {INT_MAX, "2147483647", "largest"},
    {-INT_MAX, "-2147483647", "most negative with a positive twin"},
    {INT_MIN, "-2147483648", "most negative: its magnitude does not fit an int"},
};

TEST(aInteger, DecimalTextMatchesTheStringsDecimalText) {
    for (const TextCase& c : textCases) {
        aInteger n(c.value);
        aString first = n.toString();
        EXPECT_EQ(text(first), c.expected) << c.why;
        EXPECT_EQ(text(n.toString()), c.expected) << c.why << ": a second call gives the same";
        EXPECT_TRUE(first == aString::GetFromInteger(c.value)) << c.why;
    }
    aInteger zero;
    EXPECT_EQ(text(zero.toString()), "0") << "default-constructed holds 0";
}

TEST(aInteger, CopiesAreCountedNewObjects) {
    unsigned long long integers = aTestProbe::count<aInteger>();
    unsigned long long strings = aTestProbe::count<aString>();
    unsigned long long live = aTestProbe::liveObjects();
    {
        aInteger n(-42);
        unsigned long long handed = aTestProbe::idsHandedOut();
        aInteger copy(n);
        EXPECT_EQ(aTestProbe::id(copy), handed + 1) << "a copy takes a fresh identifier";
        EXPECT_EQ(aTestProbe::count<aInteger>(), integers + 2);
        EXPECT_EQ(aTestProbe::liveObjects(), live + 2);
        EXPECT_EQ(text(copy.toString()), "-42");
        EXPECT_EQ(aTestProbe::count<aString>(), strings) << "the working string is gone";
    }
    EXPECT_EQ(aTestProbe::count<aInteger>(), integers);
    EXPECT_EQ(aTestProbe::liveObjects(), live);
}

} // namespace
