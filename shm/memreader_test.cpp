// memreader end to end: the real i386 reader against "/shared" objects written by the test
// itself, of every shape the reader must survive: short and long messages, objects smaller and
// larger than the 8192-byte mapping, no terminating zero, empty, missing, another user's, one
// that shrinks while it is read, a writer that comes while it reads, and text meant to act on
// the terminal.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <functional>
#include <string>

#include "process.h"
#include "shared_object_test_util.h"

namespace {

using osf::test::Child;
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

// Runs the reader stopped right after its first fstat (its object open, its name removed, its
// size read, nothing mapped or read yet), does `meanwhile` in that window, and lets the reader
// finish.
Result run_reader_interrupted(const std::function<void()>& meanwhile) {
    osf::test::SpawnOptions options;
    options.env = osf::test::inject_env("", "fstat");
    Child reader = osf::test::spawn({MEMREADER_PATH}, options);
    Result r;
    if (reader.wait_stopped()) {
        meanwhile();
        reader.resume();
    }
    r.out = reader.read_to_eof(reader.out);
    r.err = reader.read_to_eof(reader.err);
    r.status = reader.wait();
    return r;
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
        {"control characters and UTF-8, to a pipe", std::string("\x1b[2J\r\x7f\xc3\xa9\0", 9),
         printed("\x1b[2J\r\x7f\xc3\xa9"), "", 0},
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

// Another user's object: one we may not open (0600) is reported at the open; one we may open
// but whose name we may not remove (0666, in the sticky /dev/shm) is printed first, then the
// failed removal is reported. Either way the report names the check, then aborts, and the
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
        {0666, printed(text), "unlink failed \n", "Permission denied"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.message);
        CleanObject clean;
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

// A writer that comes while the reader reads finds the name gone and makes a new object: the
// reader neither reads nor removes it (with it the newer message, unread), and the next run
// reads it.
TEST(MemReader, AMessageWrittenWhileItReadsIsLeftForTheNextRun) {
    struct Case {
        const char* name;
        bool object_at_start;
        std::string out;
        std::string err;
        int status;
    };
    const Case cases[] = {
        {"a message there at start", true, printed("first"), "", 0},
        {"no object at start: the reader's own empty one", false, "", kEmpty, 1},
    };
    const std::string second = "second" + std::string(1, '\0');
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CleanObject clean;
        if (c.object_at_start) write_object("first" + std::string(1, '\0'));
        const Result r = run_reader_interrupted([&] { write_object(second); });
        EXPECT_EQ(r.out, c.out);
        EXPECT_EQ(r.err, c.err);
        EXPECT_TRUE(exited_with(r.status, c.status)) << describe_status(r.status);
        EXPECT_EQ(object_bytes(), second);

        const Result next = run_reader();
        EXPECT_EQ(next.out, printed("second"));
        EXPECT_TRUE(exited_with(next.status, 0)) << describe_status(next.status);
    }
}

// A writer that still holds the object shrinks it after the reader read its size: the pages
// past the new end fault (SIGBUS) and the bytes within it turn to zeros. The reader says so,
// prints nothing, leaves nothing behind and ends with status 1.
TEST(MemReader, AnObjectThatShrinksWhileItIsReadIsReported) {
    struct Case {
        const char* name;
        std::string object;
        off_t shrunk_to;
    };
    const Case cases[] = {
        {"two pages to none: the read faults", std::string(8000, 'm') + '\0', 0},
        {"within the first page: zeros where the text was", std::string(100, 'm') + '\0', 10},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CleanObject clean;
        write_object(c.object);
        const int fd = ::shm_open(kName, O_RDWR, 0);
        ASSERT_GE(fd, 0) << std::strerror(errno);
        const Result r =
            run_reader_interrupted([&] { EXPECT_EQ(::ftruncate(fd, c.shrunk_to), 0); });
        ::close(fd);
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(r.err, "memreader: \"/shared\" shrank while it was read: its message is lost\n");
        EXPECT_TRUE(exited_with(r.status, 1)) << describe_status(r.status);
        EXPECT_FALSE(object_exists());
    }
}

// On a terminal, control characters of the message (C0, DEL, C1 lone or in UTF-8) show
// visibly; UTF-8 text passes.
TEST(MemReader, ControlCharactersShowVisiblyOnATerminal) {
    CleanObject clean;
    write_object("\x1b]0;owned\x07\x1b[2J\r\x7f caf\xc3\xa9\x9b\xc2\x9b" + std::string(1, '\0'));
    osf::test::SpawnOptions terminal;
    terminal.pty = true;
    Child reader = osf::test::spawn({MEMREADER_PATH}, terminal);
    EXPECT_EQ(reader.read_to_eof(reader.out),
              printed("^[]0;owned^G^[[2J^M^? caf\xc3\xa9M-^[M-BM-^["));
    EXPECT_TRUE(exited_with(reader.wait(), 0)) << describe_status(reader.status);
}

}  // namespace
