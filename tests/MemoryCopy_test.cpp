// The library's byte helpers: steps of at most 65,535 bytes, lowest address
// first, and nothing touched for a count of 0.
#include "TestProbe.h"
#include "aMemoryBlock.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace {

std::vector<std::size_t> steps;
std::vector<std::ptrdiff_t> offsets;
const char* stepBase = nullptr;

void* recordingCopy(void* dst, const void* src, std::size_t len) {
    steps.push_back(len);
    offsets.push_back(static_cast<const char*>(dst) - stepBase);
    return std::memcpy(dst, src, len);
}

void* recordingFill(void* dst, int byte, std::size_t len) {
    steps.push_back(len);
    offsets.push_back(static_cast<const char*>(dst) - stepBase);
    return std::memset(dst, byte, len);
}

class MemoryStepsTest : public ::testing::Test {
protected:
    void SetUp() override {
        steps.clear();
        offsets.clear();
        oldCopy = aTestProbe::swapHostCopy(recordingCopy);
        oldFill = aTestProbe::swapHostFill(recordingFill);
    }
    void TearDown() override {
        aTestProbe::swapHostCopy(oldCopy);
        aTestProbe::swapHostFill(oldFill);
    }
    aTestProbe::CopyRoutine oldCopy = nullptr;
    aTestProbe::FillRoutine oldFill = nullptr;
};

struct StepCase {
    unsigned long long length;
    std::vector<std::size_t> steps;
    const char* why;
};

const StepCase stepCases[] = {
    {1, {1}, "a single byte is one step"},
    {65534, {65534}, "just under the step size"},
    {65535, {65535}, "exactly one full step"},
    {65536, {65535, 1}, "one byte more needs a second step of 1"},
    {131070, {65535, 65535}, "two full steps, no empty third"},
    {200000, {65535, 65535, 65535, 3395}, "the last step takes what remains"},
};

TEST_F(MemoryStepsTest, CopyStepsAreAtMost65535BytesFromTheBottomUp) {
    for (const StepCase& c : stepCases) {
        SCOPED_TRACE(c.why);
        std::vector<char> src(c.length), dst(c.length + 1, '\x5a');
        for (std::size_t i = 0; i < src.size(); i++)
            src[i] = static_cast<char>(i * 7 + 3);
        steps.clear();
        offsets.clear();
        stepBase = dst.data();
        aMemoryBlock::MemoryCopy(dst.data(), src.data(), c.length);
        EXPECT_EQ(steps, c.steps);
        for (std::size_t i = 0; i < offsets.size(); i++)
            EXPECT_EQ(offsets[i], static_cast<std::ptrdiff_t>(i * 65535));
        EXPECT_EQ(0, std::memcmp(dst.data(), src.data(), c.length));
        EXPECT_EQ(dst[c.length], '\x5a') << "the byte behind the range is untouched";
    }
}

TEST_F(MemoryStepsTest, ClearStepsMatchCopyAndStopAtTheEnd) {
    for (const StepCase& c : stepCases) {
        SCOPED_TRACE(c.why);
        std::vector<char> dst(c.length + 1, '\x5a');
        steps.clear();
        offsets.clear();
        stepBase = dst.data();
        aMemoryBlock::MemoryClear(dst.data(), c.length);
        EXPECT_EQ(steps, c.steps);
        for (unsigned long long i = 0; i < c.length; i++)
            ASSERT_EQ(dst[i], 0) << "byte " << i;
        EXPECT_EQ(dst[c.length], '\x5a') << "the byte behind the range is untouched";
    }
}

TEST_F(MemoryStepsTest, ZeroLengthCallsNothingAndAcceptsNullPointers) {
    aMemoryBlock::MemoryCopy(nullptr, nullptr, 0);
    aMemoryBlock::MemoryClear(nullptr, 0);
    EXPECT_TRUE(steps.empty());
}

} // namespace
