// addmul: the unit holding sum and mul, delivered as addmul.o and linked into libcalc.
//
// Outside C and C++ programs call these through calc.h. The sums and products are computed in
// unsigned arithmetic, where wrapping round modulo 2^32 is defined, and converted back to int
// (a modular conversion in C++20), so the wrap holds at every optimisation level and under
// the sanitizers, where a signed overflow would be undefined.
#include "calc.h"

int sum(int a, int b) noexcept {
    return static_cast<int>(static_cast<unsigned>(a) + static_cast<unsigned>(b));
}

int mul(int a, int b) noexcept {
    return static_cast<int>(static_cast<unsigned>(a) * static_cast<unsigned>(b));
}
