// shmwriter, the example writer: the object it leaves holds exactly the line and its zero, from
// an argument or from standard input, and memreader takes the line back out.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/mman.h>
#include <unistd.h>

#include <fstream>
#include <string>
#include <vector>

#include "process.h"
#include "shared_object_test_util.h"

namespace {

using osf::test::describe_status;
using osf::test::exited_with;
using osf::test::Result;

using shm::test::CleanObject;
using shm::test::object_bytes;
using shm::test::object_exists;

struct Case {
    const char* name;
    std::vector<std::string> args;
    std::string input;
    std::string line;  // what the object must hold before its zero byte
};

TEST(ShmWriter, StoresTheLineAndItsZeroFromArgumentOrInput) {
    const Case cases[] = {
        {"argument", {"hello from the argument"}, "ignored\n", "hello from the argument"},
        {"input line", {}, "hello from input\nsecond line\n", "hello from input"},
        {"input without a newline", {}, "no newline", "no newline"},
        {"empty argument", {""}, "", ""},
        {"longest line", {}, std::string(8191, 'w') + "\n", std::string(8191, 'w')},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const CleanObject clean;
        // A longer object from before must not leave its tail behind.
        ASSERT_TRUE(
            exited_with(osf::test::run({SHMWRITER_PATH, std::string(8000, 'o')}, "").status, 0));
        std::vector<std::string> argv{SHMWRITER_PATH};
        argv.insert(argv.end(), c.args.begin(), c.args.end());
        const Result r = osf::test::run(argv, c.input);
        EXPECT_TRUE(exited_with(r.status, 0)) << describe_status(r.status) << r.err;
        EXPECT_TRUE(object_bytes() == c.line + '\0') << object_bytes().size();
    }
}

TEST(ShmWriter, RefusesWhatTheReaderCouldNotTake) {
    const Case cases[] = {
        {"line of 8192 characters", {}, std::string(8192, 'x') + "\n", ""},
        {"no input at all", {}, "", ""},
        {"two arguments", {"one", "two"}, "", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const CleanObject clean;
        std::vector<std::string> argv{SHMWRITER_PATH};
        argv.insert(argv.end(), c.args.begin(), c.args.end());
        const Result r = osf::test::run(argv, c.input);
        EXPECT_FALSE(exited_with(r.status, 0)) << describe_status(r.status);
        EXPECT_NE(r.err, "");
        EXPECT_FALSE(object_exists());
    }
}

TEST(ShmWriter, ItsLineIsWhatMemreaderPrints) {
    const CleanObject clean;
    ASSERT_TRUE(exited_with(osf::test::run({SHMWRITER_PATH}, "over to you, reader\n").status, 0));
    const Result r = osf::test::run({MEMREADER_PATH}, "");
    EXPECT_EQ(r.out, "Read data from memory : over to you, reader \n");
    EXPECT_TRUE(exited_with(r.status, 0)) << describe_status(r.status) << r.err;
    EXPECT_FALSE(object_exists());
}

}  // namespace
