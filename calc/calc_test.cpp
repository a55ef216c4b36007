// Tests of sum, mul, dif and divi, linked from the objects addmul.o and subdiv.o that are
// installed (the object libraries themselves, not a rebuild of the sources).
#include "calc.h"

#include <gtest/gtest.h>

#include <climits>
#include <csignal>

#if defined(__SANITIZE_ADDRESS__)
// ASan turns SIGFPE into its own report by default; let the divide trap end the process as it
// would in a plain build.
extern "C" const char* __asan_default_options() { return "handle_sigfpe=0"; }
#endif

namespace {

struct Case {
    int a;
    int b;
    int expected;
};

using Function = int (*)(int, int) noexcept;

void expect_table(const char* name, Function f, std::initializer_list<Case> cases) {
    for (const Case& c : cases) {
        EXPECT_EQ(f(c.a, c.b), c.expected) << name << "(" << c.a << ", " << c.b << ")";
    }
}

TEST(Calc, SumWrapsAtBothEnds) {
    expect_table("sum", sum,
                 {{2, 3, 5},
                  {-7, 3, -4},
                  {INT_MAX, 1, INT_MIN},
                  {INT_MIN, -1, INT_MAX},
                  {INT_MAX, INT_MAX, -2},
                  {INT_MIN, INT_MIN, 0}});
}

TEST(Calc, MulKeepsTheLow32Bits) {
    expect_table("mul", mul,
                 {{6, -7, -42},
                  {-6, -7, 42},
                  {65536, 65536, 0},
                  {65536, 32768, INT_MIN},
                  {INT_MAX, 2, -2},
                  {INT_MIN, -1, INT_MIN},
                  {123456789, 1000, -1097262584}});  // 123456789000 mod 2^32, as signed
}

TEST(Calc, DifSubtractsTheSecondFromTheFirst) {
    expect_table("dif", dif,
                 {{2, 5, -3},
                  {5, 2, 3},
                  {INT_MIN, 1, INT_MAX},
                  {INT_MAX, -1, INT_MIN},
                  {0, INT_MIN, INT_MIN},
                  {-1, INT_MAX, INT_MIN}});
}

TEST(Calc, DiviTruncatesTowardZero) {
    expect_table("divi", divi,
                 {{7, 2, 3},
                  {-7, 2, -3},
                  {7, -2, -3},
                  {-7, -2, 3},
                  {1, 2, 0},
                  {-1, 2, 0},
                  {INT_MIN, 2, -1073741824},
                  {INT_MAX, -1, -INT_MAX},
                  {-5, -1, 5},
                  {0, -1, 0}});
}

TEST(Calc, DiviOfIntMinByMinusOneWrapsToIntMin) { EXPECT_EQ(divi(INT_MIN, -1), INT_MIN); }

TEST(CalcDeathTest, DiviByZeroEndsWithTheDivideTrap) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    const volatile int zero = 0;  // not a constant the compiler could see through
    EXPECT_EXIT(divi(1, zero), testing::KilledBySignal(SIGFPE), "");
}

}  // namespace
