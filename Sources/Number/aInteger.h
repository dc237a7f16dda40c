// aInteger: the library's integer object.
//
// Holds one signed 32-bit value, fixed at construction, and formats it as
// decimal text. The text is the same as aString::GetFromInteger gives for the
// same int: no leading zeros, no plus sign, no separators; the most negative
// value gives "-2147483648".
//
// A copy is a new object (fresh identifier, counted like any construction).
// Nothing changes the value after construction, so there is no assignment.
#ifndef LUMORA_AINTEGER_H
#define LUMORA_AINTEGER_H

#include "aObject.h"
#include "aString.h"

class aInteger : public virtual aObject {
public:
    aInteger();
    aInteger(int src);
    aInteger(const aInteger& src);
    aInteger& operator=(const aInteger& src) = delete;
    ~aInteger();

    // The decimal text of the value, as a new string.
    aString toString();

private:
    friend class aTestProbe;

    // Set only by the constructors.
    int value;

    static unsigned long long objectCount;
};

#endif
