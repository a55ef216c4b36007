/* The starter of cmake/i386-exec.sh's probe, built for this host's own architecture: starts the
 * i386 program argv[1] and prints how the kernel runs it.
 *
 *   native               the kernel executes the program itself
 *   emulated <file>      the kernel executes <file> for it (an emulator through binfmt_misc)
 *   ENOEXEC              the kernel cannot execute it (exec format error)
 *   anything else        the cause of another failure
 *
 * The exit status is the program's own (7), or 127 when it did not start. Once the program
 * runs, /proc/<pid>/exe names what the kernel really executes for it. The program's own view
 * of its /proc entries is no help (an emulator imitates them), nor is binfmt_misc, which a root
 * or a container may not have mounted while the host's entries still apply inside it. */
#include <errno.h>
#include <limits.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/wait.h>
#include <unistd.h>

int main(int argc, char **argv) {
    int ready[2], hold[2], status = 0;
    char said[PATH_MAX + 1], self[PATH_MAX], link[64];
    ssize_t length;
    pid_t pid;
    if (argc != 2 || pipe(ready) != 0 || pipe(hold) != 0) return 126;
    pid = fork();
    if (pid < 0) return 126;
    if (pid == 0) {
        dup2(ready[1], 1);
        dup2(hold[0], 0);
        close(ready[0]);
        close(hold[1]);
        /* execv, which unlike execvp never hands a file it cannot execute to a shell. */
        execv(argv[1], argv + 1);
        dprintf(1, "%s", errno == ENOEXEC ? "ENOEXEC" : strerror(errno));
        _exit(127);
    }
    close(ready[1]);
    close(hold[0]);
    length = read(ready[0], said, sizeof said - 1);
    said[length < 0 ? 0 : length] = '\0';
    if (strcmp(said, "r") != 0) {
        printf("%s\n", said);
    } else {
        snprintf(link, sizeof link, "/proc/%d/exe", (int)pid);
        length = readlink(link, said, sizeof said - 1);
        said[length < 0 ? 0 : length] = '\0';
        if (realpath(argv[1], self) == NULL) self[0] = '\0';
        if (length < 0)
            printf("%s: %s\n", link, strerror(errno));
        else if (strcmp(said, self) == 0)
            printf("native\n");
        else
            printf("emulated %s\n", said);
    }
    close(hold[1]);
    if (waitpid(pid, &status, 0) != pid) return 126;
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}
