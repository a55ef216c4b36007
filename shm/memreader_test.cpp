// memreader end to end: the real i386 reader against "/shared" objects written by the test
// itself, of every shape the reader must survive: short and long messages, objects smaller and
// larger than the 8192-byte mapping, no terminating zero, empty, missing, another user's, one
// that shrinks while it is read, not a shared-memory object at all, a writer that overlaps it,
// output that fails, and text meant to act on the terminal.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
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

// Starts `program` stopped right after the call that `stop` names (OSF_STOP_AFTER): memreader
// after "fstat" with its object open and locked, its size read, nothing read yet, or after
// "fstat:2" with the message copied out, nothing printed yet; shmwriter after
// "posix_fallocate" with its new object's room reserved, nothing written or published yet.
Child spawn_stopped(const std::string& program, const std::string& stop,
                    const std::string& redirect = "", const std::string& argument = "") {
    std::vector<std::string> argv{program};
    if (!argument.empty()) argv.push_back(argument);
    Child child =
        osf::test::spawn(osf::test::redirected(argv, redirect, osf::test::inject_env("", stop)));
    child.wait_stopped();
    return child;
}

Result finish(Child& child) {
    Result r;
    r.out = child.read_to_eof(child.out);
    r.err = child.read_to_eof(child.err);
    r.status = child.wait();
    return r;
}

// Runs the reader stopped right after `stop`, does `meanwhile` in that window, and lets the
// reader finish.
Result run_reader_interrupted(const std::function<void()>& meanwhile,
                              const std::string& redirect = "", const std::string& stop = "fstat") {
    Child reader = spawn_stopped(MEMREADER_PATH, stop, redirect);
    meanwhile();
    reader.resume();
    return finish(reader);
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

// Whether process `pid` has "/shared" open by now (waiting at most 10 s for it to).
bool holds_object_open(pid_t pid) {
    const std::string fds = "/proc/" + std::to_string(pid) + "/fd";
    return osf::test::eventually([&] {
        std::error_code error;
        for (const auto& fd : std::filesystem::directory_iterator(fds, error))
            if (std::filesystem::read_symlink(fd.path(), error) == "/dev/shm/shared") return true;
        return false;
    });
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

// The hand-over, each side stopped in its window while the other acts: a message is never read
// twice, never half, and never removed unread; a writer killed half-way leaves the older
// message as it was.
TEST(MemReader, WritersAndReadersThatOverlapLoseNothing) {
    const std::string first = "first" + std::string(1, '\0');
    const std::string newer = "newer message" + std::string(1, '\0');
    struct Case {
        const char* name;
        const char* stop;  // where the reader waits while `meanwhile` runs
        std::function<void()> meanwhile;
        std::string left;  // what "/shared" holds at the end, if anything
    };
    const Case cases[] = {
        {"the writer publishes while the reader reads", "fstat",
         [] {
             EXPECT_TRUE(exited_with(osf::test::run({SHMWRITER_PATH, "second"}, "").status, 0));
         },
         "second" + std::string(1, '\0')},
        {"a newer object takes the name while the reader reads", "fstat",
         [&] {
             ::shm_unlink(kName);
             write_object(newer);
         },
         newer},
        {"a writer without the lock writes in place after the read", "fstat:2",
         [&] {
             const int fd = ::shm_open(kName, O_RDWR, 0);
             EXPECT_EQ(::pwrite(fd, newer.data(), newer.size(), 0), ssize_t(newer.size()));
             ::close(fd);
         },
         newer},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const CleanObject clean;
        write_object(first);
        const Result r = run_reader_interrupted(c.meanwhile, "", c.stop);
        EXPECT_EQ(r.out, printed("first"));
        EXPECT_TRUE(exited_with(r.status, 0)) << describe_status(r.status) << r.err;
        EXPECT_EQ(object_bytes(), c.left);
    }
    {
        SCOPED_TRACE("a second reader waits while the first takes the message");
        const CleanObject clean;
        write_object(first);
        Child reader = spawn_stopped(MEMREADER_PATH, "fstat");
        Child second = osf::test::spawn({MEMREADER_PATH});
        EXPECT_TRUE(holds_object_open(second.pid));
        reader.resume();
        EXPECT_EQ(finish(reader).out, printed("first"));
        const Result r = finish(second);
        EXPECT_EQ(r.err, kEmpty);
        EXPECT_TRUE(exited_with(r.status, 1)) << describe_status(r.status);
    }
    {
        SCOPED_TRACE("the reader comes while the writer writes");
        const CleanObject clean;
        write_object(first);
        Child writer = spawn_stopped(SHMWRITER_PATH, "posix_fallocate", "", "second");
        EXPECT_EQ(run_reader().out, printed("first"));
        writer.resume();
        EXPECT_TRUE(exited_with(writer.wait(), 0)) << describe_status(writer.status);
        EXPECT_EQ(object_bytes(), "second" + std::string(1, '\0'));
    }
    {
        SCOPED_TRACE("a writer killed half-way");
        const CleanObject clean;
        write_object(first);
        Child writer = spawn_stopped(SHMWRITER_PATH, "posix_fallocate", "", "second");
        ::kill(writer.pid, SIGKILL);
        EXPECT_TRUE(killed_by(writer.wait(), SIGKILL));
        EXPECT_EQ(object_bytes(), first);
        for (const auto& entry : std::filesystem::directory_iterator("/dev/shm"))
            EXPECT_NE(entry.path().filename().string().rfind(".shared.", 0), 0u) << entry.path();
    }
}

// A message that cannot be written out (a full device, a closed standard output) is reported
// and stays for the next run; if a newer object took the name meanwhile, this one is lost.
TEST(MemReader, AMessageThatCannotBeWrittenOutIsKept) {
    struct Case {
        const char* redirect;
        bool replaced;
        std::string err;
    };
    const std::string unwritten = "memreader: the message could not be written out (";
    const std::string stays = ": it stays in \"/shared\" for the next run\n";
    const Case cases[] = {
        {">/dev/full", false, unwritten + "No space left on device)" + stays},
        {">&-", false, unwritten + "Bad file descriptor)" + stays},
        {">/dev/full", true,
         unwritten + "No space left on device), and a newer one holds \"/shared\": this one is "
                     "lost\n"},
    };
    const std::string kept = "keep me" + std::string(1, '\0');
    const std::string newer = "newer" + std::string(1, '\0');
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.redirect) + (c.replaced ? ", the name taken meanwhile" : ""));
        const CleanObject clean;
        write_object(kept);
        const Result r = run_reader_interrupted(
            [&] {
                if (!c.replaced) return;
                ::shm_unlink(kName);
                write_object(newer);
            },
            c.redirect);
        EXPECT_EQ(r.err, c.err);
        EXPECT_TRUE(exited_with(r.status, 1)) << describe_status(r.status);
        EXPECT_EQ(object_bytes(), c.replaced ? newer : kept);
    }
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

// A writer that still holds the object shrinks it after the reader read its size: the pages
// past the new end fault (SIGBUS) and the bytes within it turn to zeros. The reader says so,
// prints nothing and ends with status 1; the object stays with what its writer leaves in it.
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
        const CleanObject clean;
        write_object(c.object);
        const int fd = ::shm_open(kName, O_RDWR, 0);
        ASSERT_GE(fd, 0) << std::strerror(errno);
        const Result r =
            run_reader_interrupted([&] { EXPECT_EQ(::ftruncate(fd, c.shrunk_to), 0); });
        ::close(fd);
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(r.err, "memreader: \"/shared\" shrank while it was read: its message is lost\n");
        EXPECT_TRUE(exited_with(r.status, 1)) << describe_status(r.status);
        EXPECT_EQ(object_bytes().size(), size_t(c.shrunk_to));
    }
}

// A writer that holds the lock past the 5 seconds the reader waits: the reader gives up and says
// so, even when started with SIGALRM blocked, and leaves the message.
TEST(MemReader, ALockHeldTooLongEndsTheWaitWhateverTheSignalMask) {
    const CleanObject clean;
    write_object("held" + std::string(1, '\0'));
    const int fd = ::shm_open(kName, O_RDONLY, 0);
    ASSERT_EQ(::flock(fd, LOCK_EX), 0) << std::strerror(errno);
    sigset_t alarm_only;
    sigset_t previous;
    sigemptyset(&alarm_only);
    sigaddset(&alarm_only, SIGALRM);
    ::pthread_sigmask(SIG_BLOCK, &alarm_only, &previous);
    Child reader = osf::test::spawn({MEMREADER_PATH});
    ::pthread_sigmask(SIG_SETMASK, &previous, nullptr);
    const Result r = finish(reader);
    ::close(fd);
    EXPECT_EQ(r.err,
              "memreader: \"/shared\" is held by its writer for too long: try again later\n");
    EXPECT_TRUE(exited_with(r.status, 1)) << describe_status(r.status);
    EXPECT_EQ(object_bytes(), "held" + std::string(1, '\0'));
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
