#include "aString.h"

#include "aMemoryBlock.h"

#include <cstring>
#include <new>

unsigned long long aString::objectCount = 0;

namespace {

// Allocates exactly n bytes. A length the platform cannot address throws the
// standard allocation failure before anything changes.
char* allocateBytes(unsigned long long n) {
    if (n > static_cast<unsigned long long>(static_cast<std::size_t>(-1) / 2))
        throw std::bad_alloc();
    return new char[static_cast<std::size_t>(n)];
}

// n1 + n2, or the allocation failure when the sum does not fit 64 bits.
unsigned long long addLengths(unsigned long long n1, unsigned long long n2) {
    if (n1 > ~0ULL - n2)
        throw std::bad_alloc();
    return n1 + n2;
}

} // namespace

// Construction ---------------------------------------------------------------
//
// Each constructor counts itself first. When filling the buffer fails, the
// destructor will not run, so the count is taken back before the allocation
// failure leaves: the count always equals the number of live strings.

aString::aString() : aObject(), value(nullptr), length(0) {
    objectCount++;
    try {
        assign();
    } catch (...) {
        objectCount--;
        throw;
    }
}

aString::aString(const aString& src) : aObject(), value(nullptr), length(0) {
    objectCount++;
    try {
        assign(src);
    } catch (...) {
        objectCount--;
        throw;
    }
}

aString::aString(char src) : aObject(), value(nullptr), length(0) {
    objectCount++;
    try {
        assign(src);
    } catch (...) {
        objectCount--;
        throw;
    }
}

aString::aString(unsigned char src) : aObject(), value(nullptr), length(0) {
    objectCount++;
    try {
        assign(src);
    } catch (...) {
        objectCount--;
        throw;
    }
}

aString::aString(const char* src) : aObject(), value(nullptr), length(0) {
    objectCount++;
    try {
        assign(src);
    } catch (...) {
        objectCount--;
        throw;
    }
}

aString::aString(const unsigned char* src) : aObject(), value(nullptr), length(0) {
    objectCount++;
    try {
        assign(src);
    } catch (...) {
        objectCount--;
        throw;
    }
}

aString::aString(const char* src, unsigned long long nlength)
    : aObject(), value(nullptr), length(0) {
    objectCount++;
    try {
        assign(src, nlength);
    } catch (...) {
        objectCount--;
        throw;
    }
}

aString::~aString() {
    objectCount--;
    delete[] value;
    value = nullptr;
}

// Assignment -----------------------------------------------------------------

void aString::assign() {
    assign(static_cast<const char*>(nullptr), 0);
}

// Every assign ends here. The new buffer is filled before the old one is
// released, so `src` may point into this string's own buffer.
void aString::assign(const char* src, unsigned long long nlength) {
    char* fresh = allocateBytes(nlength);
    if (nlength != 0)
        aMemoryBlock::MemoryCopy(fresh, src, nlength);
    delete[] value;
    value = fresh;
    length = nlength;
}

void aString::assign(const aString& src) {
    assign(src.value, src.length);
}
void aString::assign(char src) {
    assign(&src, 1);
}
void aString::assign(unsigned char src) {
    assign(reinterpret_cast<const char*>(&src), 1);
}
void aString::assign(const char* src) {
    assign(src, GetCStringLength(src));
}
void aString::assign(const unsigned char* src) {
    if (src == nullptr)
        assign();
    else
        assign(reinterpret_cast<const char*>(src) + 1, GetPStringLength(src));
}

aString& aString::operator=(const aString& src) {
    assign(src);
    return *this;
}
aString& aString::operator=(char src) {
    assign(src);
    return *this;
}
aString& aString::operator=(unsigned char src) {
    assign(src);
    return *this;
}
aString& aString::operator=(const char* src) {
    assign(src);
    return *this;
}
aString& aString::operator=(const unsigned char* src) {
    assign(src);
    return *this;
}

// Appending ------------------------------------------------------------------

void aString::concatenate(const aString& src) {
    unsigned long long nlength = addLengths(length, src.length);
    char* fresh = allocateBytes(nlength);
    aMemoryBlock::MemoryCopy(fresh, value, length);
    aMemoryBlock::MemoryCopy(fresh + length, src.value, src.length);
    delete[] value;
    value = fresh;
    length = nlength;
}

void aString::concatenate(char src) {
    concatenate(aString(src));
}
void aString::concatenate(unsigned char src) {
    concatenate(aString(src));
}
void aString::concatenate(const char* src) {
    concatenate(aString(src));
}
void aString::concatenate(const unsigned char* src) {
    concatenate(aString(src));
}
void aString::concatenate(const char* src, unsigned long long nlength) {
    concatenate(aString(src, nlength));
}

aString& aString::operator+=(const aString& src) {
    concatenate(src);
    return *this;
}
aString& aString::operator+=(char src) {
    concatenate(src);
    return *this;
}
aString& aString::operator+=(unsigned char src) {
    concatenate(src);
    return *this;
}
aString& aString::operator+=(const char* src) {
    concatenate(src);
    return *this;
}
aString& aString::operator+=(const unsigned char* src) {
    concatenate(src);
    return *this;
}

// Inserting ------------------------------------------------------------------

void aString::insert(const aString& src, unsigned long long pos) {
    if (src.length == 0)
        return;
    if (length == 0) {
        assign(src);
        return;
    }
    unsigned long long p = pos < length ? pos : length;
    unsigned long long nlength = addLengths(length, src.length);
    char* fresh = allocateBytes(nlength);
    aMemoryBlock::MemoryCopy(fresh, value, p);
    aMemoryBlock::MemoryCopy(fresh + p, src.value, src.length);
    aMemoryBlock::MemoryCopy(fresh + p + src.length, value + p, length - p);
    delete[] value;
    value = fresh;
    length = nlength;
}

void aString::insert(char src, unsigned long long pos) {
    insert(aString(src), pos);
}
void aString::insert(unsigned char src, unsigned long long pos) {
    insert(aString(src), pos);
}
void aString::insert(const char* src, unsigned long long pos) {
    insert(aString(src), pos);
}
void aString::insert(const unsigned char* src, unsigned long long pos) {
    insert(aString(src), pos);
}
void aString::insert(const char* src, unsigned long long nlength, unsigned long long pos) {
    insert(aString(src, nlength), pos);
}

// Cutting and byte access ----------------------------------------------------

void aString::left(unsigned long long nlength) {
    if (length == 0 || nlength > length)
        return;
    assign(value, nlength);
}

char& aString::operator[](unsigned long long index) {
    return value[index];
}

// New strings ----------------------------------------------------------------

aString aString::concatenated(const aString& src) const {
    aString result(value, length);
    result.concatenate(src);
    return result;
}
aString aString::concatenated(char src) const {
    return concatenated(aString(src));
}
aString aString::concatenated(unsigned char src) const {
    return concatenated(aString(src));
}
aString aString::concatenated(const char* src) const {
    return concatenated(aString(src));
}
aString aString::concatenated(const unsigned char* src) const {
    return concatenated(aString(src));
}
aString aString::concatenated(const char* src, unsigned long long nlength) const {
    return concatenated(aString(src, nlength));
}

aString aString::operator+(const aString& src) {
    return concatenated(src);
}
aString aString::operator+(char src) {
    return concatenated(src);
}
aString aString::operator+(unsigned char src) {
    return concatenated(src);
}
aString aString::operator+(const char* src) {
    return concatenated(src);
}
aString aString::operator+(const unsigned char* src) {
    return concatenated(src);
}

aString aString::lefted(unsigned long long nlength) {
    aString result(*this);
    result.left(nlength);
    return result;
}

// Comparison -----------------------------------------------------------------

int aString::compare(const aString& src) const {
    unsigned long long n = length < src.length ? length : src.length;
    // Equal blocks are skipped with memcmp; the block where the texts differ
    // is then walked byte by byte, each byte taken as a signed value.
    const unsigned long long block = 4096;
    unsigned long long i = 0;
    while (n - i >= block && std::memcmp(value + i, src.value + i, block) == 0)
        i += block;
    for (; i < n; i++) {
        signed char mine = static_cast<signed char>(value[i]);
        signed char theirs = static_cast<signed char>(src.value[i]);
        if (mine < theirs)
            return -1;
        if (mine > theirs)
            return 1;
    }
    if (length < src.length)
        return -1;
    if (length > src.length)
        return 1;
    return 0;
}

int aString::compare(char src) const {
    return compare(aString(src));
}
int aString::compare(unsigned char src) const {
    return compare(aString(src));
}
int aString::compare(const char* src) const {
    return compare(aString(src));
}
int aString::compare(const unsigned char* src) const {
    return compare(aString(src));
}
int aString::compare(const char* src, unsigned long long nlength) const {
    return compare(aString(src, nlength));
}

#define LUMORA_ASTRING_RELATION(op)                                                                \
    bool aString::operator op(const aString& src) const {                                          \
        return compare(src) op 0;                                                                  \
    }                                                                                              \
    bool aString::operator op(char src) const {                                                    \
        return compare(src) op 0;                                                                  \
    }                                                                                              \
    bool aString::operator op(unsigned char src) const {                                           \
        return compare(src) op 0;                                                                  \
    }                                                                                              \
    bool aString::operator op(const char* src) const {                                             \
        return compare(src) op 0;                                                                  \
    }                                                                                              \
    bool aString::operator op(const unsigned char* src) const {                                    \
        return compare(src) op 0;                                                                  \
    }
LUMORA_ASTRING_RELATION(==)
LUMORA_ASTRING_RELATION(!=)
LUMORA_ASTRING_RELATION(<)
LUMORA_ASTRING_RELATION(>)
LUMORA_ASTRING_RELATION(<=)
LUMORA_ASTRING_RELATION(>=)
#undef LUMORA_ASTRING_RELATION

// Queries --------------------------------------------------------------------

unsigned long long aString::getLength() const {
    return length;
}
char* aString::getValue() const {
    return value;
}

unsigned long long aString::GetCStringLength(const char* src) {
    return src == nullptr ? 0 : std::strlen(src);
}

unsigned long long aString::GetPStringLength(const unsigned char* src) {
    return src == nullptr ? 0 : src[0];
}

// Conversions ----------------------------------------------------------------

char aString::getAsChar() const {
    return length == 0 ? '\0' : value[0];
}
unsigned char aString::getAsUnsignedChar() const {
    return length == 0 ? 0 : static_cast<unsigned char>(value[0]);
}
aString::operator char() const {
    return getAsChar();
}
aString::operator unsigned char() const {
    return getAsUnsignedChar();
}

char* aString::getAsCString() const {
    char* result = allocateBytes(addLengths(length, 1));
    aMemoryBlock::MemoryCopy(result, value, length);
    result[length] = '\0';
    return result;
}
aString::operator char*() const {
    return getAsCString();
}

namespace {

// A new buffer: a `width`-byte count, most significant byte first, then the
// first n bytes of the text, where n is the length cut to `maximum`.
unsigned char* makePrefixed(const char* text, unsigned long long length, unsigned width,
                            unsigned long long maximum) {
    unsigned long long n = length < maximum ? length : maximum;
    char* result = allocateBytes(n + width);
    for (unsigned i = 0; i < width; i++)
        result[i] = static_cast<char>((n >> (8 * (width - 1 - i))) & 0xFF);
    aMemoryBlock::MemoryCopy(result + width, text, n);
    return reinterpret_cast<unsigned char*>(result);
}

} // namespace

unsigned char* aString::getAsPString() const {
    return makePrefixed(value, length, 1, 255);
}
aString::operator unsigned char*() const {
    return getAsPString();
}
unsigned char* aString::getAsShortPString() const {
    return makePrefixed(value, length, 2, 65535);
}
unsigned char* aString::getAsLongPString() const {
    return makePrefixed(value, length, 4, 4294967295ULL);
}

unsigned long long aString::GetShortPStringLength(const unsigned char* src) {
    if (src == nullptr)
        return 0;
    return src[0] * 256ULL + src[1];
}

unsigned long long aString::GetLongPStringLength(const unsigned char* src) {
    if (src == nullptr)
        return 0;
    return src[0] * 16777216ULL + src[1] * 65536ULL + src[2] * 256ULL + src[3];
}

void aString::lowercase() {
    for (unsigned long long i = 0; i < length; i++)
        if (value[i] >= 'A' && value[i] <= 'Z')
            value[i] = static_cast<char>(value[i] + 0x20);
}

void aString::uppercase() {
    for (unsigned long long i = 0; i < length; i++)
        if (value[i] >= 'a' && value[i] <= 'z')
            value[i] = static_cast<char>(value[i] - 0x20);
}

aString aString::lowercased() const {
    aString result(value, length);
    result.lowercase();
    return result;
}

aString aString::uppercased() const {
    aString result(value, length);
    result.uppercase();
    return result;
}

aString aString::GetFromUnsignedInteger(unsigned int invalue) {
    static const char* const digits[] = {"0", "1", "2", "3", "4", "5", "6", "7", "8", "9"};
    if (invalue == 0)
        return aString("0");
    aString result;
    while (invalue != 0) {
        result.insert(digits[invalue % 10], 0);
        invalue /= 10;
    }
    return result;
}

aString aString::GetFromInteger(int invalue) {
    if (invalue >= 0)
        return GetFromUnsignedInteger(static_cast<unsigned int>(invalue));
    // The magnitude in unsigned arithmetic, so that INT_MIN has one.
    aString result = GetFromUnsignedInteger(0u - static_cast<unsigned int>(invalue));
    result.insert("-", 0);
    return result;
}

aString aString::GetEndOfLine() {
    return aString('\r');
}
