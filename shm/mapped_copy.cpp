// copy_message_pages (see mapped_copy.h): each page is copied with a SIGBUS handler of our own,
// which jumps back out of a faulting read; the handler that was there before is put back
// afterwards.
#include "mapped_copy.h"

#include <setjmp.h>
#include <signal.h>

#include <algorithm>
#include <cstring>

namespace {

sigjmp_buf fault_exit;

void on_fault(int /*signal*/) { siglongjmp(fault_exit, 1); }

}  // namespace

PageCopy copy_message_pages(char* to, const void* mapped, std::size_t readable) noexcept {
    struct sigaction catching = {};
    catching.sa_handler = on_fault;
    sigemptyset(&catching.sa_mask);
    struct sigaction previous = {};
    sigaction(SIGBUS, &catching, &previous);
    // Set before each page and read after a jump back: volatile, so that the jump keeps it.
    volatile std::size_t copied = 0;
    PageCopy copy;
    if (sigsetjmp(fault_exit, 1) != 0) {
        copy.faulted = true;
    } else {
        const auto* from = static_cast<const char*>(mapped);
        while (copied < readable) {
            const std::size_t page = std::min(kPageBytes, readable - copied);
            std::memcpy(to + copied, from + copied, page);
            copied = copied + page;
            if (std::memchr(to + copied - page, '\0', page) != nullptr) break;
        }
    }
    sigaction(SIGBUS, &previous, nullptr);
    copy.length = copied;
    return copy;
}
