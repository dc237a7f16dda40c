// Identifiers and counts of the object base. Must run first in its own
// process: the first identifier of the run is checked.
#include "TestProbe.h"
#include "aObject.h"

#include <gtest/gtest.h>

namespace {

// A minimal library-style class: virtual base, own count.
class aProbeObject : public virtual aObject {
public:
    aProbeObject() { objectCount++; }
    aProbeObject(const aProbeObject&) : aObject() { objectCount++; }
    aProbeObject& operator=(const aProbeObject&) = default;
    ~aProbeObject() { objectCount--; }
    static unsigned long long objectCount;
};
unsigned long long aProbeObject::objectCount = 0;

TEST(aObject, IdentifiersStartAtOneAndAreNeverReused) {
    ASSERT_EQ(aTestProbe::idsHandedOut(), 0u) << "no library object may exist before this test";
    unsigned long long firstId;
    {
        aProbeObject first;
        firstId = aTestProbe::id(first);
        EXPECT_EQ(firstId, 1u);
        aProbeObject second;
        EXPECT_EQ(aTestProbe::id(second), 2u);
        EXPECT_EQ(aTestProbe::liveObjects(), 2u);
    }
    EXPECT_EQ(aTestProbe::liveObjects(), 0u);
    aProbeObject later;
    EXPECT_EQ(aTestProbe::id(later), 3u) << "ids of destroyed objects are not reused";
    EXPECT_EQ(aTestProbe::liveObjects(), 1u);
}

TEST(aObject, CopiesTakeFreshIdentifiersAndAssignmentKeepsThem) {
    aProbeObject a;
    aProbeObject b;
    unsigned long long idA = aTestProbe::id(a), idB = aTestProbe::id(b);
    unsigned long long live = aTestProbe::liveObjects();
    unsigned long long handed = aTestProbe::idsHandedOut();

    aProbeObject copy(a);
    EXPECT_EQ(aTestProbe::id(copy), handed + 1) << "a copy is a new object";
    EXPECT_EQ(aTestProbe::liveObjects(), live + 1);

    b = a;
    EXPECT_EQ(aTestProbe::id(a), idA);
    EXPECT_EQ(aTestProbe::id(b), idB) << "assignment never touches the object base";
    EXPECT_EQ(aTestProbe::liveObjects(), live + 1);
    EXPECT_EQ(aTestProbe::idsHandedOut(), handed + 1);
}

} // namespace
