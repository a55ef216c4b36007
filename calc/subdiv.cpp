// subdiv: the unit holding dif and divi, delivered as subdiv.o and linked into libcalc.
//
// Outside C and C++ programs call these through calc.h. dif wraps round modulo 2^32 by
// computing in unsigned arithmetic. divi lets the processor's signed division truncate toward
// zero; the one quotient that does not fit (INT_MIN / -1, which would trap) is taken as the
// wrapped negation instead, and a divisor of 0 is left to the processor's divide trap (SIGFPE),
// in sanitizer builds too: UBSan is told not to replace that trap with a report of its own.
#include "calc.h"

int dif(int a, int b) noexcept {
    return static_cast<int>(static_cast<unsigned>(a) - static_cast<unsigned>(b));
}

__attribute__((no_sanitize("integer-divide-by-zero"))) int divi(int a, int b) noexcept {
    // a / -1 is -a for every a; only INT_MIN has no positive twin and wraps to itself.
    if (b == -1) return static_cast<int>(0u - static_cast<unsigned>(a));
    return a / b;
}
