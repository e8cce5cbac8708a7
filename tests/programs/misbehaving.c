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

static void poll_for_ever(void)
{
    for (;;)
        sim_poll();
}

static void forge_passed(void)
{
    const char *scenario = getenv("WENA_SCENARIO");
    fprintf(stderr, "%s: passed, 9 checks held\n", scenario ? scenario : "");
    fflush(stderr);
}

static void forge_and_quit(void)
{
    forge_passed();
    _exit(0);
}

static long parent_of(long pid)
{
    char path[64], text[512];
    snprintf(path, sizeof path, "/proc/%ld/stat", pid);
    FILE *f = fopen(path, "r");
    if (!f)
        return 0;
    size_t n = fread(text, 1, sizeof text - 1, f);
    fclose(f);
    text[n] = '\0';
    char *name_end = strrchr(text, ')');
    long parent = 0;
    return name_end && sscanf(name_end, ") %*c %ld", &parent) == 1 ? parent : 0;
}

/* Signals that end or stop a process by default, to the parent and the
 * grandparent (the grader, or the keeper and the grader); no higher, so that
 * a test does not reach the shell that runs it. */
static void signal_ancestors(void)
{
    static const int signals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGUSR1, SIGALRM, SIGPIPE, SIGTSTP};
    long pid = getppid();
    for (int level = 0; level < 2 && pid > 1; ++level, pid = parent_of(pid))
        for (size_t i = 0; i < sizeof signals / sizeof signals[0]; ++i)
            kill((pid_t)pid, signals[i]);
}

/* The directories later runs of the example program named "leds" would
 * get, were their names to be guessed. */
static void take_next_directories(void)
{
    for (int run = 1; run <= 20; ++run) {
        char path[64];
        snprintf(path, sizeof path, "../%d-leds-quiet.scn", run);
        mkdir(path, 0);
    }
}

/* A daemon the run should not outlive: it leaves its session and group. */
static void leave_a_daemon(void)
{
    if (fork() == 0) {
        setsid();
        if (fork() == 0) {
            setpgid(0, 0);
            execl("/bin/sleep", "sleep", "31.4159", (char *)NULL);
        }
        _exit(0);
    }
}

static void write_files(int count, long bytes)
{
    static char block[65536];
    memset(block, 'x', sizeof block);
    for (int i = 0; i < count; ++i) {
        char name[32];
        snprintf(name, sizeof name, "big%d", i);
        FILE *f = fopen(name, "wb");
        for (long left = bytes; f && left > 0; left -= (long)sizeof block)
            fwrite(block, 1, left < (long)sizeof block ? (size_t)left : sizeof block, f);
        if (f)
            fclose(f);
    }
    usleep(600 * 1000); /* without polling, so that the grader looks meanwhile */
}

static void lock_own_directory(void)
{
    mkdir("sub", 0700);
    FILE *f = fopen("sub/file", "w");
    if (f)
        fclose(f);
    chmod("sub", 0);
    chmod(".", 0500);
}

static void write_to_terminal(void)
{
    int tty = open("/dev/tty", O_WRONLY);
    if (tty >= 0) {
        static const char fake[] = "\r\nFAKE: all runs passed\r\n";
        ssize_t written = write(tty, fake, sizeof fake - 1);
        (void)written;
    }
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
    struct if_nameindex *interfaces = if_nameindex();
    int count = 0;
    for (struct if_nameindex *i = interfaces; i && i->if_index; ++i)
        ++count;
    if (interfaces)
        if_freenameindex(interfaces);
    leaks |= count > 1 ? 0x04 : 0;
    char path[4096];
    snprintf(path, sizeof path, "%s/escaped", outside ? outside : "/nonexistent");
    int fd = open(path, O_WRONLY | O_CREAT, 0644);
    if (fd >= 0)
        close(fd);
    static const char *const system_places[] = {"/escaped", "/dev/escaped", "/dev/shm/escaped", "/usr/escaped"};
    for (size_t i = 0; i < sizeof system_places / sizeof system_places[0]; ++i)
        if ((fd = open(system_places[i], O_WRONLY | O_CREAT | O_EXCL, 0644)) >= 0) {
            close(fd);
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
    const char *name = strrchr(argv[0], '/') ? strrchr(argv[0], '/') + 1 : argv[0];
    if (strcmp(name, "forges-stderr") == 0)
        forge_and_quit();
    if (strcmp(name, "exits-3") == 0)
        exit(3);
    sim_poll();
    if (strcmp(name, "atexit-forges") == 0)
        atexit(forge_and_quit);
    else if (strcmp(name, "debug-no-newline") == 0)
        fputs("debug: starting", stderr);
    else if (strcmp(name, "crashes-midway") == 0) {
        for (int i = 0; i < 200; ++i)
            sim_poll();
        abort(); /* not SIGSEGV, which AddressSanitizer turns into an exit */
    }
    else if (strcmp(name, "signals-grader") == 0) {
        signal_ancestors();
        take_next_directories();
    }
    else if (strcmp(name, "leaves-a-daemon") == 0)
        leave_a_daemon();
    else if (strcmp(name, "writes-much") == 0)
        write_files(3, 600 * 1024);
    else if (strcmp(name, "locks-its-directory") == 0)
        lock_own_directory();
    else if (strcmp(name, "writes-to-terminal") == 0)
        write_to_terminal();
    else if (strcmp(name, "peeks") == 0)
        peek();
    poll_for_ever();
}
