// memreader end to end: the real i386 reader against "/shared" objects written by the test
// itself, of every shape the reader must survive: short and long messages, objects smaller and
// larger than the 8192-byte mapping, no terminating zero, empty, missing, another user's, not a
// shared-memory object at all, and text meant to act on the terminal. The hand-over between
// readers and writers: memreader_handover_test.cpp.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>

#include "memreader_test_util.h"

namespace {

using osf::test::Child;
using osf::test::describe_status;
using osf::test::exited_with;
using osf::test::killed_by;
using osf::test::Result;
using shm::test::CleanObject;
using shm::test::kEmpty;
using shm::test::kName;
using shm::test::not_terminated;
using shm::test::object_bytes;
using shm::test::object_exists;
using shm::test::printed;
using shm::test::run_reader;
using shm::test::write_object;

struct Shape {
    const char* name;
    std::string object;  // the object's bytes, all of them
    std::string out;     // expected standard output
    std::string err;     // expected standard error
    int status;          // expected exit status
    bool stays = false;  // the object is left in place
};

// One object of each shape, read once: the bounded text, the right status, and no object left
// but an empty one, whose writer may yet write.
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
        {"empty object", "", "", kEmpty, 1, true},
        {"control characters and UTF-8, to a pipe", std::string("\x1b[2J\r\x7f\xc3\xa9\0", 9),
         printed("\x1b[2J\r\x7f\xc3\xa9"), "", 0},
    };
    for (const Shape& shape : shapes) {
        SCOPED_TRACE(shape.name);
        const CleanObject clean;
        write_object(shape.object);
        const Result r = run_reader();
        EXPECT_EQ(r.out.size(), shape.out.size());
        EXPECT_TRUE(r.out == shape.out) << r.out.substr(0, 200);
        EXPECT_EQ(r.err, shape.err);
        EXPECT_TRUE(exited_with(r.status, shape.status)) << describe_status(r.status);
        EXPECT_EQ(object_exists(), shape.stays);
    }
}

// An object of 2 GiB or more (sparse: it takes no memory) still has its size read.
TEST(MemReader, ReadsTheMessageAtTheStartOfAHugeObject) {
    const CleanObject clean;
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

TEST(MemReader, MissingObjectIsReportedAsEmptyAndNotCreated) {
    const CleanObject clean;
    const Result r = run_reader();
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, kEmpty);
    EXPECT_TRUE(exited_with(r.status, 1)) << describe_status(r.status);
    EXPECT_FALSE(object_exists());
}

TEST(MemReader, SecondRunAfterOneWriteFindsNoMessage) {
    const CleanObject clean;
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

// Another user's object: one we may not open (0600) is reported at the open; one we may read
// but whose name we may not remove (0644, 0666, in the sticky /dev/shm) is printed first, then
// the failed removal is reported. Either way the report names the check, then aborts, and the
// object (not ours to remove) is left as it was.
TEST(MemReader, AnotherUsersObjectIsReportedThroughTheFailureReport) {
    if (::geteuid() != 0) GTEST_SKIP() << "needs root to run the reader as the user nobody";
    struct Case {
        mode_t mode;
        std::string out;
        std::string message;
        std::string error;
    };
    const std::string text = "for root only";
    const Case cases[] = {
        {0600, "", "shared memory is not opened \n", "Permission denied"},
        {0644, printed(text), "unlink failed \n", "Permission denied"},
        {0666, printed(text), "unlink failed \n", "Permission denied"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.message);
        const CleanObject clean;
        write_object(text + '\0', c.mode);
        const Result r = run_reader(
            {"/usr/bin/setpriv", "--reuid=65534", "--regid=65534", "--clear-groups", "--"});
        EXPECT_EQ(r.out, c.out);
        EXPECT_TRUE(killed_by(r.status, SIGABRT)) << describe_status(r.status) << "\n" << r.err;
        // The report names the check that failed.
        EXPECT_EQ(
            osf::test::failure_report_mismatch(r.err, c.message, "shm/memreader.cpp", c.error), "");

        EXPECT_EQ(object_bytes(), text + '\0');
    }
}

// Root reads and removes another user's message. Where fs.protected_regular is set (Debian's
// default), an open that may create refuses another user's file in the sticky /dev/shm, even
// to root; the reader only opens what is there, for reading.
TEST(MemReader, RootReadsAndRemovesAnotherUsersMessage) {
    if (::geteuid() != 0) GTEST_SKIP() << "needs root to read the object of the user nobody";
    const CleanObject clean;
    write_object("from nobody" + std::string(1, '\0'), 0644);
    ASSERT_EQ(::chown("/dev/shm/shared", 65534, 65534), 0) << std::strerror(errno);
    const Result r = run_reader();
    EXPECT_EQ(r.out, printed("from nobody"));
    EXPECT_TRUE(exited_with(r.status, 0)) << describe_status(r.status) << r.err;
    EXPECT_FALSE(object_exists());
}

// Something other than a shared-memory object named "/shared" is not ours: it is reported and
// left as it is, neither opened nor removed.
TEST(MemReader, SomethingElseNamedSharedIsLeftAlone) {
    struct Case {
        const char* kind;
        int (*make)(const char* path);
    };
    const Case cases[] = {
        {"a FIFO", [](const char* path) { return ::mkfifo(path, 0666); }},
        {"a directory", [](const char* path) { return ::mkdir(path, 0777); }},
        {"a symbolic link", [](const char* path) { return ::symlink("/dev/null", path); }},
    };
    const char* path = "/dev/shm/shared";
    for (const Case& c : cases) {
        SCOPED_TRACE(c.kind);
        const CleanObject clean;
        ASSERT_EQ(c.make(path), 0) << std::strerror(errno);
        const Result r = run_reader();
        EXPECT_EQ(r.err, std::string("memreader: \"/shared\" is ") + c.kind +
                             ", not a shared-memory object: left alone\n");
        EXPECT_TRUE(exited_with(r.status, 1)) << describe_status(r.status);
        struct stat left = {};
        EXPECT_EQ(::lstat(path, &left), 0) << "it was removed";
        std::remove(path);
    }
}

// On a terminal, control characters of the message (C0, DEL, C1 lone or in UTF-8) show
// visibly; UTF-8 text passes.
TEST(MemReader, ControlCharactersShowVisiblyOnATerminal) {
    const CleanObject clean;
    write_object("\x1b]0;owned\x07\x1b[2J\r\x7f caf\xc3\xa9\x9b\xc2\x9b" + std::string(1, '\0'));
    osf::test::SpawnOptions terminal;
    terminal.pty = true;
    Child reader = osf::test::spawn({MEMREADER_PATH}, terminal);
    EXPECT_EQ(reader.read_to_eof(reader.out),
              printed("^[]0;owned^G^[[2J^M^? caf\xc3\xa9M-^[M-BM-^["));
    EXPECT_TRUE(exited_with(reader.wait(), 0)) << describe_status(reader.status);
}

}  // namespace
