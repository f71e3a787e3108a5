// The frame-pointer walk and the stack scan, on stacks laid out by hand.

#include "CrashTestSupport.h"
#include "crashreporting/capture/MSHUnwind.h"

#include <gtest/gtest.h>

#include <vector>

TEST(StackUnwinding, AFramePointerChainEndsAfter512Frames)
{
    twCrashTestReportDirectory();
    // Frames of two words each: the caller's rbp, then the return address.
    std::vector<uintptr_t> stack(2 * 600 + 2);
    for (size_t i = 0; i < 600; ++i) {
        stack[2 * i] = reinterpret_cast<uintptr_t>(&stack[2 * (i + 1)]);
        stack[2 * i + 1] = 0x100000 + i;
    }
    const auto base = reinterpret_cast<uintptr_t>(stack.data());
    MSHUnwindCursor cursor;
    ASSERT_TRUE(MSHUnwindInit(&cursor, nullptr, false, 0x200000, base, base));
    std::vector<uintptr_t> pcs;
    while (MSHUnwindNextFrame(&cursor))
        pcs.push_back(MSHUnwindPC(&cursor));
    ASSERT_EQ(pcs.size(), 512u);
    EXPECT_EQ(pcs[0], 0x200000u);
    EXPECT_EQ(pcs[1], 0x100000u);
    EXPECT_EQ(pcs[511], 0x100000u + 510);
}

TEST(StackUnwinding, AFramelessLeafIsCrossedByTheStackScan)
{
    twCrashTestReportDirectory();
    // The leaf pushed nothing: its caller's return address sits on the stack among other words,
    // below the caller's frame.
    std::vector<uintptr_t> stack(16, 0x20);
    const auto caller = reinterpret_cast<uintptr_t>(&twCrashTestBuildID) + 8;
    stack[3] = caller;
    stack[8] = 0; // the caller's saved rbp: the chain ends there
    stack[9] = 0;
    const auto sp = reinterpret_cast<uintptr_t>(stack.data());
    const auto rbp = reinterpret_cast<uintptr_t>(&stack[8]);
    MSHUnwindCursor cursor;
    ASSERT_TRUE(MSHUnwindInit(&cursor, nullptr, false, 0x300000, sp, rbp));
    ASSERT_TRUE(MSHUnwindNextFrame(&cursor));
    EXPECT_EQ(MSHUnwindPC(&cursor), 0x300000u);
    ASSERT_TRUE(MSHUnwindNextFrame(&cursor));
    EXPECT_EQ(MSHUnwindPC(&cursor), caller);
    EXPECT_FALSE(MSHUnwindNextFrame(&cursor));
}
