// The main of every test program built with osf_gtest: GoogleTest's own, with the harness's
// failures (a read that timed out, a child that would not end) reported as failures of the
// test case that ran into them.
#include <gtest/gtest.h>

#include <string>

#include "process.h"

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    osf::test::set_failure_report([](const std::string& message) { ADD_FAILURE() << message; });
    return RUN_ALL_TESTS();
}
