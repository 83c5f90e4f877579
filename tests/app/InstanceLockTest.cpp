#include <gtest/gtest.h>

#include <random>
#include <string>

#include "app/InstanceLock.h"

namespace {

// A lock name of this test alone, so a running installer or a parallel test never meets it.
std::wstring UniqueLockName() {
    std::random_device seed;
    return L"Test_" + std::to_wstring(seed()) + L"_" + std::to_wstring(seed());
}

}  // namespace

TEST(InstanceLock_Holders, ASecondHolderInThisProcessIsRefusedUntilTheFirstReleases) {
    const std::wstring name = UniqueLockName();
    InstanceLock a(name);
    InstanceLock b(name);
    EXPECT_NE(a.ObjectName().find(L"D1A547DB89C0BC61_" + name), std::wstring::npos);
    EXPECT_EQ(a.TryAcquire(), InstanceLock::Result::Acquired);
    EXPECT_TRUE(a.Held());
    EXPECT_EQ(a.TryAcquire(), InstanceLock::Result::Acquired);  // again: still ours
    EXPECT_EQ(b.TryAcquire(), InstanceLock::Result::HeldByAnother);
    EXPECT_FALSE(b.Held());
    a.Release();
    EXPECT_FALSE(a.Held());
    EXPECT_TRUE(b.Acquire());
    {
        InstanceLock c(name);
        EXPECT_FALSE(c.Acquire());
    }
    b.Release();
    // Gone with its holder's destruction too.
    { InstanceLock d(name); ASSERT_TRUE(d.Acquire()); }
    InstanceLock e(name);
    EXPECT_TRUE(e.Acquire());
}
