// Test helpers for the shared-memory object "/shared", shared by the reader's and the example
// writer's tests: remove it around a test, write it byte for byte, look at what it holds.
#pragma once

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>

namespace shm::test {

inline constexpr char kName[] = "/shared";

// Removes "/shared" before a test and again after it, whatever the test left.
struct CleanObject {
    CleanObject() { ::shm_unlink(kName); }
    ~CleanObject() { ::shm_unlink(kName); }
};

// Creates "/shared" holding exactly `bytes` (its size is their number), mode `mode`.
inline void write_object(const std::string& bytes, mode_t mode = 0600) {
    const int fd = ::shm_open(kName, O_RDWR | O_CREAT | O_TRUNC, mode);
    ASSERT_GE(fd, 0) << std::strerror(errno);
    ASSERT_EQ(::fchmod(fd, mode), 0);  // the mode exactly, whatever the umask
    ASSERT_EQ(::ftruncate(fd, static_cast<off_t>(bytes.size())), 0);
    ASSERT_EQ(::pwrite(fd, bytes.data(), bytes.size(), 0), static_cast<ssize_t>(bytes.size()));
    ::close(fd);
}

inline bool object_exists() {
    const int fd = ::shm_open(kName, O_RDONLY, 0);
    if (fd < 0) return false;
    ::close(fd);
    return true;
}

inline std::string object_bytes() {
    std::ifstream in(std::string("/dev/shm") + kName, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

}  // namespace shm::test
