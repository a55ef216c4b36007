// tidprobe end to end: the exact text, the value handed over, a thread id of its own.
#include <gtest/gtest.h>

#include <string>

#include "process.h"

namespace {

using osf::test::Child;
using osf::test::describe_status;
using osf::test::exited_with;

TEST(Tidprobe, PrintsTheValueAndItsOwnThreadIdWithoutANewline) {
    Child probe = osf::test::spawn({TIDPROBE_PATH});
    const std::string out = probe.read_to_eof(probe.out);
    EXPECT_TRUE(exited_with(probe.wait(), 0)) << describe_status(probe.status);
    const std::string text = "I am in thread and result is 20 and tid is ";
    ASSERT_EQ(out.substr(0, text.size()), text);
    const std::string tid = out.substr(text.size());
    ASSERT_TRUE(!tid.empty() && tid.size() < 10 &&
                tid.find_first_not_of("0123456789") == std::string::npos)
        << "\"" << out << "\"";  // digits alone: no newline follows
    // The worker is a second kernel task of the process, with an id of its own.
    EXPECT_NE(std::stol(tid), static_cast<long>(probe.pid));
    EXPECT_EQ(probe.read_to_eof(probe.err), "");
}

// Printing that one line is the whole job: output that cannot be written is said and fails.
TEST(Tidprobe, OutputThatCannotBeWrittenEndsWithStatusOne) {
    for (const auto& [redirect, error] : osf::test::kUnwritableOutputs) {
        SCOPED_TRACE(redirect);
        const osf::test::Result r =
            osf::test::run(osf::test::redirected({TIDPROBE_PATH}, redirect), "");
        EXPECT_EQ(r.err, std::string("tidprobe: write error: ") + error + "\n");
        EXPECT_TRUE(exited_with(r.status, 1)) << describe_status(r.status);
    }
}

TEST(Tidprobe, AFailedThreadCreationEndsWithStatusOne) {
    osf::test::SpawnOptions options;
    options.env = osf::test::inject_env("pthread_create:1");
    Child probe = osf::test::spawn({TIDPROBE_PATH}, options);
    EXPECT_EQ(probe.read_to_eof(probe.out), "");
    EXPECT_EQ(probe.read_to_eof(probe.err),
              "thread creation failed.. \n: Resource temporarily unavailable\n");
    EXPECT_TRUE(exited_with(probe.wait(), 1)) << describe_status(probe.status);
}

}  // namespace
