/* The i386 program of cmake/i386-exec.sh's probe: says on standard output that it runs, then
 * waits until its starter closes its standard input, so that the starter can look at it. */
#include <unistd.h>

int main(void) {
    char c;
    if (write(1, "r", 1) != 1) return 1;
    while (read(0, &c, 1) > 0) {
    }
    return 7;
}
