// memreader end to end, the hand-over: a reader and writers that overlap, each stopped in its
// window while the other acts; output that fails; an object that shrinks while it is read; a
// lock held too long.
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
#include <string>

#include "memreader_test_util.h"

namespace {

using osf::test::Child;
using osf::test::describe_status;
using osf::test::exited_with;
using osf::test::killed_by;
using osf::test::Result;
using shm::test::CleanObject;
using shm::test::finish;
using shm::test::kEmpty;
using shm::test::kName;
using shm::test::object_bytes;
using shm::test::printed;
using shm::test::run_reader;
using shm::test::run_reader_interrupted;
using shm::test::spawn_stopped;
using shm::test::write_object;

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

}  // namespace
