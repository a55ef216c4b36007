// shmwriter, the example writer: the object it leaves holds exactly the line and its zero, from
// an argument or from standard input, and memreader takes the line back out; on a full
// /dev/shm the writer fails cleanly and the reader still reads what it can.
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

// On a /dev/shm of 1 MiB that another file has filled, in a mount namespace of its own: the
// writer says that there is no room and leaves the older message; the reader reads a message
// whose pages were written, though a page past it was never written and cannot be had, and
// keeps one that runs into such a page.
TEST(ShmWriter, OnAFullDevShmNothingIsLostOrTorn) {
    if (::geteuid() != 0) GTEST_SKIP() << "needs root to mount a tmpfs of its own";
    struct Case {
        const char* name;
        std::string object;   // shell commands that make "/shared"
        std::string program;  // and the program then run
        std::string out;      // its output, then what "/shared" holds ("left: ...")
        std::string err;
        int status;
    };
    const std::string page_then_hole = " && truncate -s 8192 /dev/shm/shared";
    const Case cases[] = {
        {"the writer", "printf 'older message\\0' >/dev/shm/shared", SHMWRITER_PATH " new",
         "left: older message\n",
         "shmwriter: reserving 4 bytes in /dev/shm: No space left on device\n", 1},
        {"the reader, a message on the written page",
         "printf 'important message\\0' >/dev/shm/shared" + page_then_hole, MEMREADER_PATH,
         "Read data from memory : important message \n", "", 0},
        {"the reader, 4097 bytes",
         "printf 'important message\\0' >/dev/shm/shared && truncate -s 4097 /dev/shm/shared",
         MEMREADER_PATH, "Read data from memory : important message \n", "", 0},
        {"the reader, a message that runs into the hole",
         "head -c 4096 /dev/zero | tr '\\0' m >/dev/shm/shared" + page_then_hole, MEMREADER_PATH,
         "left: " + std::string(4096, 'm') + "\n",
         "memreader: \"/shared\" could not be read (No space left on device): it stays for the "
         "next run\n",
         1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        // A private copy of /dev/shm's mount first, so that the tmpfs never reaches the host.
        const std::string script =
            "mountpoint -q /dev/shm && mount --make-private /dev/shm && "
            "mount -t tmpfs -o size=1m shm /dev/shm || exit 77; " +
            c.object + " && { dd if=/dev/zero of=/dev/shm/fill bs=4096 2>/dev/null; " + c.program +
            "; status=$?; ! [ -e /dev/shm/shared ] || echo \"left: $(tr -d '\\0' "
            "</dev/shm/shared)\"; "
            "exit $status; }";
        const Result r = osf::test::run(
            {"/usr/bin/unshare", "--mount", "--propagation", "unchanged", "/bin/sh", "-c", script},
            "");
        if (exited_with(r.status, 77)) GTEST_SKIP() << "no tmpfs of its own on /dev/shm here";
        EXPECT_EQ(r.out, c.out);
        EXPECT_EQ(r.err, c.err);
        EXPECT_TRUE(exited_with(r.status, c.status)) << describe_status(r.status);
    }
}

}  // namespace
