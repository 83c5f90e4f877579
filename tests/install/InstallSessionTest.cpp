// The install session's pre-checks, in-process.
#include <gtest/gtest.h>
TEST(InstallSession_PreChecks, Placeholder) {}
