// A library object that holds library objects as members: one object base per
// object, identifiers handed out base first and then members in declaration
// order, and every class's count kept.
#include "TestProbe.h"
#include "aInteger.h"
#include "aString.h"

#include <gtest/gtest.h>

namespace {

// Built the way the library's own classes are: virtual base, own count raised
// at the start of every constructor body and lowered at the start of the
// destructor body.
class aLabelled : public virtual aObject {
public:
    aLabelled() : name("name"), number(7), note("note") { objectCount++; }
    aLabelled(const aLabelled& src)
        : aObject(), name(src.name), number(src.number), note(src.note) {
        objectCount++;
    }
    aLabelled& operator=(const aLabelled&) = delete;
    ~aLabelled() { objectCount--; }

    aString name;
    aInteger number;
    aString note;

    static unsigned long long objectCount;
};
unsigned long long aLabelled::objectCount = 0;

struct Counts {
    unsigned long long labelled = aLabelled::objectCount;
    unsigned long long strings = aTestProbe::count<aString>();
    unsigned long long integers = aTestProbe::count<aInteger>();
    unsigned long long live = aTestProbe::liveObjects();
    unsigned long long handed = aTestProbe::idsHandedOut();
};

void expectIdsInOrder(const aLabelled& object, unsigned long long first) {
    EXPECT_EQ(aTestProbe::id(object), first) << "the object base comes first";
    EXPECT_EQ(aTestProbe::id(object.name), first + 1) << "then members in declaration order";
    EXPECT_EQ(aTestProbe::id(object.number), first + 2);
    EXPECT_EQ(aTestProbe::id(object.note), first + 3);
}

TEST(LibraryMembers, ConstructionCountsEachClassAndOrdersIdentifiers) {
    Counts before;
    {
        aLabelled object;
        expectIdsInOrder(object, before.handed + 1);
        EXPECT_EQ(aLabelled::objectCount, before.labelled + 1);
        EXPECT_EQ(aTestProbe::count<aString>(), before.strings + 2);
        EXPECT_EQ(aTestProbe::count<aInteger>(), before.integers + 1);
        EXPECT_EQ(aTestProbe::liveObjects(), before.live + 4) << "one base per object, not shared";

        aLabelled copy(object);
        expectIdsInOrder(copy, before.handed + 5);
        EXPECT_EQ(aTestProbe::liveObjects(), before.live + 8);
    }
    EXPECT_EQ(aLabelled::objectCount, before.labelled);
    EXPECT_EQ(aTestProbe::count<aString>(), before.strings);
    EXPECT_EQ(aTestProbe::count<aInteger>(), before.integers);
    EXPECT_EQ(aTestProbe::liveObjects(), before.live);
    EXPECT_EQ(aTestProbe::idsHandedOut(), before.handed + 8) << "destruction hands out nothing";

    aString later;
    EXPECT_EQ(aTestProbe::id(later), before.handed + 9) << "identifiers are never reused";
}

} // namespace
