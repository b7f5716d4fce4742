// The unit tests' main: every test runs on the refusing seams unless it installs a fake.
#include <gtest/gtest.h>

#include "RefusingSys.h"

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    ::testing::AddGlobalTestEnvironment(new RefusingSeamsEnvironment);
    return RUN_ALL_TESTS();
}
