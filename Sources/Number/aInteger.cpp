#include "aInteger.h"

unsigned long long aInteger::objectCount = 0;

aInteger::aInteger() : aObject() {
    objectCount++;
    value = 0;
}

aInteger::aInteger(int src) : aObject() {
    objectCount++;
    value = src;
}

aInteger::aInteger(const aInteger& src) : aObject() {
    objectCount++;
    value = src.value;
}

aInteger::~aInteger() {
    objectCount--;
}

aString aInteger::toString() {
    static const char* const digits[] = {"0", "1", "2", "3", "4", "5", "6", "7", "8", "9"};
    aString text;
    if (value == 0) {
        text.assign("0");
        return text;
    }
    // The magnitude in unsigned arithmetic, so that the most negative value
    // has one (2147483648).
    bool negative = value < 0;
    unsigned int magnitude =
        negative ? 0u - static_cast<unsigned int>(value) : static_cast<unsigned int>(value);
    while (magnitude > 0) {
        unsigned int digit = magnitude % 10;
        magnitude = (magnitude - digit) / 10;
        text.insert(digits[digit], 0);
    }
    if (negative)
        text.insert("-", 0);
    return text;
}
