// aString: the library's byte string.
//
// A string owns one buffer of exactly `length` bytes, obtained with array new:
// no terminating NUL, no spare room, never shared with another string. Any
// byte value may occur, NUL included; only `length` says where the text ends.
// An empty string still holds a zero-length allocation, so `value` is never
// null while the string lives.
//
// Text operands come in six source forms: another string, a char, an unsigned
// char, a C string (pointer to char, read up to its first NUL; null stands for
// the empty text), a Pascal string (pointer to unsigned char: a count byte,
// then that many bytes; null stands for the empty text) and counted bytes
// (pointer to char and a 64-bit count). The pointer's type decides how it is
// read, never its contents.
//
// A string may be its own operand (or a pointer into its own buffer): the
// result is as if the operand had been copied first. Every change that alters
// the length builds the new text in a new buffer before releasing the old one,
// so a failed allocation (std::bad_alloc) leaves the string as it was.
//
// Comparison is byte for byte with each byte taken as a signed 8-bit value.
#ifndef LUMORA_ASTRING_H
#define LUMORA_ASTRING_H

#include "aObject.h"

#include <type_traits>

class aString : public virtual aObject {
public:
    aString();
    aString(const aString& src);
    aString(char src);
    aString(unsigned char src);
    aString(const char* src);
    aString(const unsigned char* src);
    aString(const char* src, unsigned long long nlength);
    ~aString();

    // Replacing the text.
    void assign();
    void assign(const aString& src);
    void assign(char src);
    void assign(unsigned char src);
    void assign(const char* src);
    void assign(const unsigned char* src);
    void assign(const char* src, unsigned long long nlength);
    aString& operator=(const aString& src);
    aString& operator=(char src);
    aString& operator=(unsigned char src);
    aString& operator=(const char* src);
    aString& operator=(const unsigned char* src);

    // Appending.
    void concatenate(const aString& src);
    void concatenate(char src);
    void concatenate(unsigned char src);
    void concatenate(const char* src);
    void concatenate(const unsigned char* src);
    void concatenate(const char* src, unsigned long long nlength);
    aString& operator+=(const aString& src);
    aString& operator+=(char src);
    aString& operator+=(unsigned char src);
    aString& operator+=(const char* src);
    aString& operator+=(const unsigned char* src);

    // Inserting in front of byte `pos`; a position at or past the end appends.
    void insert(const aString& src, unsigned long long pos);
    void insert(char src, unsigned long long pos);
    void insert(unsigned char src, unsigned long long pos);
    void insert(const char* src, unsigned long long pos);
    void insert(const unsigned char* src, unsigned long long pos);
    void insert(const char* src, unsigned long long nlength, unsigned long long pos);

    // Keeping the first `nlength` bytes; nothing happens when the string is
    // empty or shorter than `nlength`.
    void left(unsigned long long nlength);

    // Byte `index`, unchecked and modifiable in place.
    char& operator[](unsigned long long index);
    // Any other integer index reaches the same byte. (Without this, an int
    // index would be ambiguous with the built-in subscript of operator char*.)
    template <class Index, class = std::enable_if_t<std::is_integral_v<Index>>>
    char& operator[](Index index) {
        return (*this)[static_cast<unsigned long long>(index)];
    }

    // New strings.
    aString concatenated(const aString& src) const;
    aString concatenated(char src) const;
    aString concatenated(unsigned char src) const;
    aString concatenated(const char* src) const;
    aString concatenated(const unsigned char* src) const;
    aString concatenated(const char* src, unsigned long long nlength) const;
    aString operator+(const aString& src);
    aString operator+(char src);
    aString operator+(unsigned char src);
    aString operator+(const char* src);
    aString operator+(const unsigned char* src);
    aString lefted(unsigned long long nlength);

    // Comparison: exactly -1, 0 or 1.
    int compare(const aString& src) const;
    int compare(char src) const;
    int compare(unsigned char src) const;
    int compare(const char* src) const;
    int compare(const unsigned char* src) const;
    int compare(const char* src, unsigned long long nlength) const;

#define LUMORA_ASTRING_RELATION(op)                                                                \
    bool operator op(const aString& src) const;                                                    \
    bool operator op(char src) const;                                                              \
    bool operator op(unsigned char src) const;                                                     \
    bool operator op(const char* src) const;                                                       \
    bool operator op(const unsigned char* src) const;
    LUMORA_ASTRING_RELATION(==)
    LUMORA_ASTRING_RELATION(!=)
    LUMORA_ASTRING_RELATION(<)
    LUMORA_ASTRING_RELATION(>)
    LUMORA_ASTRING_RELATION(<=)
    LUMORA_ASTRING_RELATION(>=)
#undef LUMORA_ASTRING_RELATION

    unsigned long long getLength() const;
    // The string's own buffer: not NUL-terminated, not to be released, valid
    // until the buffer is replaced.
    char* getValue() const;

    static unsigned long long GetCStringLength(const char* src);
    static unsigned long long GetPStringLength(const unsigned char* src);

    // Conversions. Every pointer result is a new buffer owned by the caller and
    // released with delete[].
    char getAsChar() const;
    unsigned char getAsUnsignedChar() const;
    operator char() const;
    operator unsigned char() const;
    char* getAsCString() const;
    operator char*() const;
    unsigned char* getAsPString() const;
    operator unsigned char*() const;
    unsigned char* getAsShortPString() const;
    unsigned char* getAsLongPString() const;
    static unsigned long long GetShortPStringLength(const unsigned char* src);
    static unsigned long long GetLongPStringLength(const unsigned char* src);

    // ASCII-only case mapping; bytes 0x80 to 0xFF are never changed.
    void lowercase();
    void uppercase();
    aString lowercased() const;
    aString uppercased() const;

    static aString GetFromInteger(int invalue);
    static aString GetFromUnsignedInteger(unsigned int invalue);
    // A single carriage return (0x0D).
    static aString GetEndOfLine();

private:
    friend class aTestProbe;

    // Exactly `length` bytes from array new; never null while the string lives.
    char* value;
    unsigned long long length;

    static unsigned long long objectCount;
};

#endif
