// copy_from_mapping (see mapped_copy.h): the copy runs with a SIGBUS handler of its own, which
// jumps back out of the faulting read; the handler that was there before is put back afterwards.
#include "mapped_copy.h"

#include <setjmp.h>
#include <signal.h>

#include <cstring>

namespace {

sigjmp_buf fault_exit;

void on_fault(int /*signal*/) { siglongjmp(fault_exit, 1); }

}  // namespace

bool copy_from_mapping(char* to, const void* mapped, std::size_t length) noexcept {
    struct sigaction catching = {};
    catching.sa_handler = on_fault;
    sigemptyset(&catching.sa_mask);
    struct sigaction previous = {};
    sigaction(SIGBUS, &catching, &previous);
    // Nothing set after this point is read after the jump back, so no local needs `volatile`.
    if (sigsetjmp(fault_exit, 1) != 0) {
        sigaction(SIGBUS, &previous, nullptr);
        return false;
    }
    std::memcpy(to, mapped, length);
    sigaction(SIGBUS, &previous, nullptr);
    return true;
}
