// Memory handles and pointers of the platform layer.
#include "PlatformMemory.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>

namespace {

bool allZero(const char* p, Size n) {
    for (Size i = 0; i < n; i++)
        if (p[i] != 0)
            return false;
    return true;
}

TEST(PlatformMemory, HandlesKnowTheirSizeAndStartZeroed) {
    for (Size size : {0, 1, 4096, 70000}) {
        SCOPED_TRACE(size);
        Handle h = NewHandle(size);
        ASSERT_NE(h, nullptr);
        ASSERT_NE(*h, nullptr) << "even a zero-size handle has a block";
        EXPECT_EQ(GetHandleSize(h), size);
        EXPECT_TRUE(allZero(*h, size));
        // The whole block is writable (the sanitizer build checks the bounds),
        // and locking neither moves it nor changes it.
        HLock(h);
        Ptr block = *h;
        for (Size i = 0; i < size; i++)
            (*h)[i] = static_cast<char>(i);
        HUnlock(h);
        EXPECT_EQ(*h, block);
        if (size > 0) {
            EXPECT_EQ((*h)[size - 1], static_cast<char>(size - 1));
        }
        EXPECT_EQ(GetHandleSize(h), size);
        DisposeHandle(h);
    }
}

TEST(PlatformMemory, PointersStartZeroed) {
    for (Size size : {0, 1, 4096}) {
        SCOPED_TRACE(size);
        Ptr p = NewPtr(size);
        ASSERT_NE(p, nullptr);
        EXPECT_TRUE(allZero(p, size));
        if (size > 0)
            p[size - 1] = 'x';
        DisposePtr(p);
    }
}

TEST(PlatformMemory, NegativeSizesGiveNullAndNullIsAccepted) {
    for (Size size : {-1, INT32_MIN}) {
        EXPECT_EQ(NewHandle(size), nullptr) << size;
        EXPECT_EQ(NewPtr(size), nullptr) << size;
    }
    EXPECT_EQ(GetHandleSize(nullptr), 0);
    HLock(nullptr);
    HUnlock(nullptr);
    DisposeHandle(nullptr);
    DisposePtr(nullptr);
}

TEST(PlatformMemory, UnbalancedUnlocksAreHarmless) {
    Handle h = NewHandle(8);
    ASSERT_NE(h, nullptr);
    HUnlock(h);
    HLock(h);
    HLock(h);
    HUnlock(h);
    HUnlock(h);
    HUnlock(h);
    EXPECT_EQ(GetHandleSize(h), 8);
    DisposeHandle(h);
}

} // namespace
