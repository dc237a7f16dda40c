// aObject: the object base of every library class.
//
// Each library object carries exactly one aObject (classes derive from it
// publicly and virtually). Constructing the base hands out a 64-bit
// identifier that is unique within the process run: the first object gets 1,
// identifiers of destroyed objects are never reused. The base also counts the
// library objects alive in the process. The numbers are bookkeeping only:
// they are private, nothing in the library reads them, and only the test
// probe (aTestProbe, defined by the tests) may look at them.
//
// aObject declares no virtual functions and no virtual destructor; library
// objects are always destroyed through their own class.
#ifndef LUMORA_AOBJECT_H
#define LUMORA_AOBJECT_H

class aObject {
public:
    aObject();
    ~aObject();

    // A copy is a new object: it takes a fresh identifier and is counted.
    // Assignment never touches the base: the target keeps its identifier.
    aObject(const aObject& src);
    aObject& operator=(const aObject& src);

private:
    friend class aTestProbe;

    // Identifier of this object, set once by the constructor. Never 0 for a
    // constructed object.
    unsigned long long objectId;

    // Number of object bases alive: the sum of every library class's count.
    static unsigned long long objectCount;
    // Number of identifiers handed out, which is also the last one handed out.
    // Never decreases.
    static unsigned long long objectIdCount;
};

#endif
