// memreader end to end: the real i386 reader against "/shared" objects written by the test
// itself, of every shape the reader must survive: short and long messages, objects smaller and
// larger than the 8192-byte mapping, no terminating zero, empty, missing, and one it may not open.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <string>

#include "process.h"
#include "shared_object_test_util.h"

namespace {

using osf::test::describe_status;
using osf::test::exited_with;
using osf::test::killed_by;
using osf::test::Result;

using shm::test::CleanObject;
using shm::test::kName;
using shm::test::object_bytes;
using shm::test::object_exists;
using shm::test::write_object;
constexpr char kHead[] = "Read data from memory : ";

Result run_reader(const std::vector<std::string>& prefix = {}) {
    std::vector<std::string> argv = prefix;
    argv.emplace_back(MEMREADER_PATH);
    return osf::test::run(argv, "");
}

std::string printed(const std::string& message) { return kHead + message + " \n"; }

std::string not_terminated(size_t readable) {
    return "memreader: the message in \"/shared\" is not terminated: no zero byte in its first " +
           std::to_string(readable) + " bytes\n";
}

constexpr char kEmpty[] = "memreader: \"/shared\" is empty: there is no message to read\n";

struct Shape {
    const char* name;
    std::string object;  // the object's bytes, all of them
    std::string out;     // expected standard output
    std::string err;     // expected standard error
    int status;          // expected exit status
};

// One object of each shape, read once: the bounded text, the right status, and no object left.
TEST(MemReader, ReadsEachShapeOfObjectOnceAndRemovesIt) {
    const std::string long_text(8191, 'm');
    const Shape shapes[] = {
        {"short message", "hello, shared memory" + std::string(1, '\0'),
         printed("hello, shared memory"), "", 0},
        {"8191 characters, the zero in the last mapped byte", long_text + '\0', printed(long_text),
         "", 0},
        {"8191 characters in a 16 KiB object", long_text + '\0' + std::string(8192, 'z'),
         printed(long_text), "", 0},
        {"3-byte object \"hi\" and its zero (the map is larger)", std::string("hi\0", 3),
         printed("hi"), "", 0},
        {"empty message, then junk", std::string("\0junk", 5), printed(""), "", 0},
        {"10 bytes, no zero", "0123456789", printed("0123456789"), not_terminated(10), 1},
        {"one page, no zero", std::string(4096, 'p'), printed(std::string(4096, 'p')),
         not_terminated(4096), 1},
        {"16 KiB, the first zero past 8192", std::string(8192, 'q') + '\0' + std::string(8191, 'r'),
         printed(std::string(8192, 'q')), not_terminated(8192), 1},
        {"empty object", "", "", kEmpty, 1},
    };
    for (const Shape& shape : shapes) {
        SCOPED_TRACE(shape.name);
        CleanObject clean;
        write_object(shape.object);
        const Result r = run_reader();
        EXPECT_EQ(r.out.size(), shape.out.size());
        EXPECT_TRUE(r.out == shape.out) << r.out.substr(0, 200);
        EXPECT_EQ(r.err, shape.err);
        EXPECT_TRUE(exited_with(r.status, shape.status)) << describe_status(r.status);
        EXPECT_FALSE(object_exists());
    }
}

// An object of 2 GiB or more (sparse: it takes no memory) still has its size read.
TEST(MemReader, ReadsTheMessageAtTheStartOfAHugeObject) {
    CleanObject clean;
    write_object("small message in a huge object" + std::string(1, '\0'));
    const int fd = ::shm_open(kName, O_RDWR, 0);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::ftruncate(fd, off_t{3} << 30), 0) << std::strerror(errno);
    ::close(fd);
    const Result r = run_reader();
    EXPECT_EQ(r.out, printed("small message in a huge object"));
    EXPECT_EQ(r.err, "");
    EXPECT_TRUE(exited_with(r.status, 0)) << describe_status(r.status);
    EXPECT_FALSE(object_exists());
}

TEST(MemReader, MissingObjectIsReportedAsEmptyAndNotLeftBehind) {
    CleanObject clean;
    const Result r = run_reader();
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, kEmpty);
    EXPECT_TRUE(exited_with(r.status, 1)) << describe_status(r.status);
    EXPECT_FALSE(object_exists());
}

TEST(MemReader, SecondRunAfterOneWriteFindsNoMessage) {
    CleanObject clean;
    write_object("read me once" + std::string(1, '\0'));

    const Result first = run_reader();
    EXPECT_EQ(first.out, printed("read me once"));
    EXPECT_EQ(first.err, "");
    EXPECT_TRUE(exited_with(first.status, 0)) << describe_status(first.status);

    const Result second = run_reader();
    EXPECT_EQ(second.out, "");
    EXPECT_EQ(second.err, kEmpty);
    EXPECT_TRUE(exited_with(second.status, 1)) << describe_status(second.status);
    EXPECT_FALSE(object_exists());
}

// Another user's object that we may not open: the report names the open check, then aborts,
// and the object (not ours to remove) is left as it was.
TEST(MemReader, ObjectItMayNotOpenIsReportedThroughTheFailureReport) {
    if (::geteuid() != 0) GTEST_SKIP() << "needs root to run the reader as the user nobody";
    CleanObject clean;
    const std::string secret = "for root only" + std::string(1, '\0');
    write_object(secret, 0600);

    const Result r =
        run_reader({"/usr/bin/setpriv", "--reuid=65534", "--regid=65534", "--clear-groups", "--"});
    EXPECT_EQ(r.out, "");
    EXPECT_TRUE(killed_by(r.status, SIGABRT)) << describe_status(r.status) << "\n" << r.err;
    const std::string head = "shared memory is not opened \n at \"shm/memreader.cpp\":";
    ASSERT_EQ(r.err.substr(0, head.size()), head) << r.err;
    const size_t colon = r.err.find(':', head.size());
    ASSERT_NE(colon, std::string::npos) << r.err;
    EXPECT_EQ(r.err.substr(colon), ": Permission denied\n");

    // The line named is the check of the open.
    const int line = std::stoi(r.err.substr(head.size()));
    std::ifstream source(std::string(OSF_SOURCE_DIR) + "/shm/memreader.cpp");
    std::string text;
    for (int i = 0; i < line && std::getline(source, text); ++i) {
    }
    EXPECT_NE(text.find("report_failure(\"shared memory is not opened"), std::string::npos)
        << "line " << line << " is: " << text;

    EXPECT_EQ(object_bytes(), secret);
}

}  // namespace
