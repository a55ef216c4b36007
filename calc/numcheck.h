/* numcheck.h: the integer-text check, for C and C++ programs that read numbers as text lines.
 * Link the object numcheck.o. Installed in include/osfacets, the folder that
 * `pkg-config --cflags calc` names: #include <numcheck.h>.
 *
 * numcheck(text) takes a zero-terminated line as a line read returns it (newline included)
 * and gives its value if the line is an optional '+' or '-', then decimal digits only, then the
 * newline, and the value is at most 2147483647 (INT_MAX); otherwise it gives the invalid mark
 * 36 (which a caller cannot tell from the line "36"). Mind these rules:
 *   - the sign is skipped and does not change the value: "-42\n" gives 42, as "+42\n" does;
 *   - an empty line ("\n") and a lone sign ("+\n", "-\n") give 0;
 *   - a value beyond 2147483647 gives 36, whatever its sign: "2147483648\n" and
 *     "-2147483648\n" are malformed (the result would be another number), while leading zeros
 *     do not count ("0002147483647\n" gives 2147483647);
 *   - the text must end right after the scan: "42" without its newline gives 36, while "42x"
 *     without a newline gives 42 (the scan stops on its last character);
 *   - bytes above 127 are not digits;
 *   - a '.' followed by the byte 1 (the control character) ends the check with 0;
 *   - the empty text "" and a null pointer give 36.
 * No state; safe from any number of threads at once.
 */
#ifndef OSFACETS_NUMCHECK_H
#define OSFACETS_NUMCHECK_H

#ifdef __cplusplus
extern "C" int numcheck(const char* text) noexcept;
#else
int numcheck(const char* text);
#endif

#endif
