/* Students' programs that try to fool or harm the grader, one per name: the
 * program does what its name (argv[0], a link to it) says, then polls for
 * ever as a correct program whose LEDs stay dark. */
#define _GNU_SOURCE
#include <wena.h>

#include <fcntl.h>
#include <net/if.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

static void forge_and_quit(void)
{
    const char *scenario = getenv("WENA_SCENARIO");
    fprintf(stderr, "%s: passed, 9 checks held\n", scenario ? scenario : "");
    fflush(stderr);
    _exit(0);
}

static long parent_of(long pid)
{
    char path[64], text[512];
    snprintf(path, sizeof path, "/proc/%ld/stat", pid);
    FILE *f = fopen(path, "r");
    size_t n = f ? fread(text, 1, sizeof text - 1, f) : 0;
    if (f)
        fclose(f);
    text[n] = '\0';
    char *name_end = strrchr(text, ')');
    long parent = 0;
    return name_end && sscanf(name_end, ") %*c %ld", &parent) == 1 ? parent : 0;
}

/* Signals that end or stop a process by default, to the parent and the
 * grandparent (the grader, or the keeper and the grader); no higher, so that
 * a test does not reach the shell that runs it. Then it takes the directories
 * later runs of the program named "leds" would get, were their names guessed. */
static void signal_grader(void)
{
    static const int signals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGUSR1, SIGALRM, SIGPIPE, SIGTSTP};
    long pid = getppid();
    for (int level = 0; level < 2 && pid > 1; ++level, pid = parent_of(pid))
        for (size_t i = 0; i < sizeof signals / sizeof signals[0]; ++i)
            kill((pid_t)pid, signals[i]);
    for (int run = 1; run <= 20; ++run) {
        char path[64];
        snprintf(path, sizeof path, "../%d-leds-quiet.scn", run);
        mkdir(path, 0);
    }
}

/* Three files of 600 KiB, each under a limit of 1 MiB, all three over it. */
static void write_much(void)
{
    static char block[60 * 1024];
    memset(block, 'x', sizeof block);
    for (int i = 0; i < 3; ++i) {
        char name[32];
        snprintf(name, sizeof name, "big%d", i);
        FILE *f = fopen(name, "wb");
        for (int k = 0; f && k < 10; ++k)
            fwrite(block, 1, sizeof block, f);
        if (f)
            fclose(f);
    }
    usleep(600 * 1000); /* without polling, so that the grader looks meanwhile */
}

/* What the sandbox should hide, as LED bits: the scenario's file, a file of
 * the teacher's, a network beyond loopback, a writable place in the system,
 * the grader, the grader's variable. It also tries to write beside the
 * run's directory. */
static void peek(void)
{
    const char *scenario = getenv("WENA_SCENARIO"), *teacher = getenv("PEEK_FILE"), *outside = getenv("PEEK_DIR");
    unsigned leaks = 0;
    leaks |= scenario && access(scenario, R_OK) == 0 ? 0x01 : 0;
    leaks |= teacher && access(teacher, R_OK) == 0 ? 0x02 : 0;
    struct if_nameindex *interfaces = if_nameindex(); /* more than loopback alone? */
    leaks |= interfaces && interfaces[0].if_index && interfaces[1].if_index ? 0x04 : 0;
    char path[4096];
    snprintf(path, sizeof path, "%s/escaped", outside ? outside : "/nonexistent");
    close(open(path, O_WRONLY | O_CREAT, 0644));
    static const char *const system_places[] = {"/escaped", "/dev/escaped", "/dev/shm/escaped", "/usr/escaped"};
    for (size_t i = 0; i < sizeof system_places / sizeof system_places[0]; ++i)
        if (close(open(system_places[i], O_WRONLY | O_CREAT | O_EXCL, 0644)) == 0) {
            unlink(system_places[i]);
            leaks |= 0x08;
        }
    leaks |= getppid() > 1 && parent_of(getppid()) > 1 ? 0x10 : 0;
    leaks |= getenv("WENA_GRADE_FDS") ? 0x20 : 0;
    sim_poll();
    PDR8 = (uint8_t)leaks;
}

int main(int argc, char **argv)
{
    (void)argc;
    const char *slash = strrchr(argv[0], '/'), *name = slash ? slash + 1 : argv[0];
#define IS(mode) (strcmp(name, mode) == 0)
    if (IS("forges-stderr"))
        forge_and_quit();
    if (IS("exits-3"))
        exit(3);
    sim_poll();
    if (IS("atexit-forges"))
        atexit(forge_and_quit);
    if (IS("debug-no-newline"))
        fputs("debug: starting", stderr);
    if (IS("crashes-midway")) {
        for (int i = 0; i < 200; ++i)
            sim_poll();
        abort(); /* not SIGSEGV, which AddressSanitizer turns into an exit */
    }
    if (IS("signals-grader"))
        signal_grader();
    if (IS("leaves-a-daemon") && fork() == 0) { /* a daemon that leaves its session and group */
        setsid();
        if (fork() == 0 && setpgid(0, 0) == 0)
            execl("/bin/sleep", "sleep", "31.4159", (char *)NULL);
        _exit(0);
    }
    if (IS("writes-much"))
        write_much();
    if (IS("locks-its-directory")) {
        mkdir("sub", 0700);
        close(open("sub/file", O_WRONLY | O_CREAT, 0600));
        chmod("sub", 0);
        chmod(".", 0500);
    }
    if (IS("writes-to-terminal"))
        dprintf(open("/dev/tty", O_WRONLY), "\r\nFAKE: all runs passed\r\n");
    if (IS("peeks"))
        peek();
    for (;;)
        sim_poll();
}
