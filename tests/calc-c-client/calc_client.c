/* calc_client: a small outside C program that uses libcalc (sum, mul, dif, divi) and the
 * numcheck object, the way a program outside osfacets would.
 *
 * Built against an installed tree:
 *   gcc -m32 calc_client.c P/lib/osfacets/numcheck.o $(pkg-config --cflags --libs calc)
 * or statically from the objects addmul.o, subdiv.o and numcheck.o. It shows a few fixed calls,
 * then reads pairs of lines from standard input, checks each with numcheck and shows the four
 * functions on the two values, until end of input. The calc-c-client test and the tour run it.
 */
#include <calc.h>
#include <limits.h>
#include <numcheck.h>
#include <stdio.h>

/* Prompts, reads one line and checks it; 0 at end of input. */
static int read_number(const char* prompt, int* value) {
    char line[80];
    fputs(prompt, stdout);
    fflush(stdout);
    if (fgets(line, sizeof line, stdin) == NULL) return 0;
    *value = numcheck(line);
    printf("numcheck gives %d%s\n", *value,
           *value == 36 ? " (the invalid mark, or 36 itself)" : "");
    return 1;
}

int main(void) {
    printf("dif(2, 5) = %d\n", dif(2, 5));
    printf("divi(-7, 2) = %d\n", divi(-7, 2));
    printf("sum(INT_MAX, 1) = %d\n", sum(INT_MAX, 1));
    printf("divi(INT_MIN, -1) = %d\n", divi(INT_MIN, -1));

    int a = 0;
    int b = 0;
    while (read_number("a? ", &a) && read_number("b? ", &b)) {
        printf("sum(%d, %d) = %d\n", a, b, sum(a, b));
        printf("mul(%d, %d) = %d\n", a, b, mul(a, b));
        printf("dif(%d, %d) = %d\n", a, b, dif(a, b));
        if (b != 0)
            printf("divi(%d, %d) = %d\n", a, b, divi(a, b));
        else
            printf("divi(%d, 0) not called: a divisor of 0 ends the program with SIGFPE\n", a);
    }
    printf("\n");
    return 0;
}
