/* calc.h: four integer functions for C and C++ programs, in libcalc (-lcalc, see calc.pc) or
 * statically from the objects addmul.o (sum, mul) and subdiv.o (dif, divi). Installed in
 * include/osfacets, the folder that `pkg-config --cflags calc` names: #include <calc.h>.
 *
 * Every argument and result is a signed 32-bit int. Results that do not fit wrap round modulo
 * 2^32 (two's complement): sum(INT_MAX, 1) == INT_MIN, mul(65536, 65536) == 0. The functions
 * keep no state and may be called from any number of threads at once.
 *
 * divi(a, b) is a / b with the quotient truncated toward zero (divi(-7, 2) == -3); the
 * remainder is dropped. divi(INT_MIN, -1) wraps like the other three and gives INT_MIN.
 * A divisor of 0 is the caller's error: divi does not check it, and the processor's divide
 * trap ends the program with SIGFPE.
 */
#ifndef OSFACETS_CALC_H
#define OSFACETS_CALC_H

#ifdef __cplusplus
#define CALC_NOEXCEPT noexcept
extern "C" {
#else
#define CALC_NOEXCEPT
#endif

int sum(int a, int b) CALC_NOEXCEPT;  /* a + b */
int mul(int a, int b) CALC_NOEXCEPT;  /* a * b, the low 32 bits of the product */
int dif(int a, int b) CALC_NOEXCEPT;  /* a - b: the second argument is subtracted */
int divi(int a, int b) CALC_NOEXCEPT; /* a / b, truncated toward zero; b must not be 0 */

#ifdef __cplusplus
}
#endif
#undef CALC_NOEXCEPT

#endif
