/* Students' programs that try to fool or harm the grader, one per name: the
 * program does what its name (argv[0], a link to it) says, then polls for
 * ever as a correct program whose LEDs stay dark. */
#define _GNU_SOURCE
#include <wena.h>

#include <errno.h>
#include <fcntl.h>
#include <linux/keyctl.h>
#include <net/if.h>
#include <signal.h>
#include <sys/syscall.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
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

/* Descriptors the grader gave, taken or closed before the library looks. */
__attribute__((constructor)) static void before_the_library(int argc, char **argv)
{
    const char *slash = argc > 0 ? strrchr(argv[0], '/') : NULL, *name = slash ? slash + 1 : argc > 0 ? argv[0] : "";
    char block[4096];
    if (strcmp(name, "closes-in-constructor") == 0)
        close(3);
    if (strcmp(name, "reads-scenario-first") == 0)
        while (read(3, block, sizeof block) > 0) {
        }
}

/* Copies of a run after its first poll: each child sets the LEDs another
 * way, one of them as the check wants, while the run itself stays dark. A
 * FIFO where a picture went once would hold back every failing child. */
static void brute_force(void)
{
    mkfifo("failure-screen.html", 0600);
    for (int value = 0; value < 16; ++value)
        if (fork() == 0) {
            PDR8 = (uint8_t)value;
            for (;;)
                sim_poll();
        }
}

/* A picture of its own, with the text a teacher would believe. */
static void plant_picture(void)
{
    FILE *f = fopen("failure-screen.html", "w");
    if (f) {
        fputs("<div class=\"screen\">\n<div><span class=\"f7 b0\" style=\"width:7ch\">PLANTED</span></div>\n"
              "</div>\n</body>\n",
              f);
        fclose(f);
    }
    chmod("failure-screen.html", 0444);
}

static long grader_pid(void) { return parent_of(getppid()); } /* the keeper's parent */

/* SIGINT with a sender made up (init), SIGINT through a pipe's owner
 * signal, and a SIGTSTP queued as if from outside. */
static void forge_signals(void)
{
    long grader = grader_pid();
    siginfo_t info;
    memset(&info, 0, sizeof info);
    info.si_code = SI_QUEUE;
    info.si_pid = 1;
    info.si_uid = getuid();
    for (int sig = 0; sig < 2; ++sig) {
        info.si_signo = sig ? SIGTSTP : SIGINT;
        syscall(SYS_rt_sigqueueinfo, (pid_t)grader, info.si_signo, &info);
    }
    int fds[2];
    if (pipe(fds) == 0 && fcntl(fds[0], F_SETOWN, (pid_t)grader) == 0 && fcntl(fds[0], F_SETSIG, SIGINT) == 0 &&
        fcntl(fds[0], F_SETFL, O_ASYNC | O_NONBLOCK) == 0) {
        ssize_t n = write(fds[1], "x", 1);
        (void)n;
    }
}

/* Replaces the scenario's file by a FIFO for the runs after it. */
static void swap_scenario(void)
{
    const char *scenario = getenv("WENA_SCENARIO");
    char moved[4096];
    snprintf(moved, sizeof moved, "%s.moved", scenario ? scenario : "/nonexistent");
    if (scenario && rename(scenario, moved) == 0)
        mkfifo(scenario, 0644);
}

/* As much as the memory limit is meant to refuse; the LEDs say it was not. */
static void allocate_much(void)
{
    size_t size = (size_t)512 << 20;
    volatile char *block = malloc(size); /* volatile: every page is really touched */
    if (block) {
        for (size_t at = 0; at < size; at += 4096)
            block[at] = 1;
        PDR8 = 1;
    }
}

/* One file past a limit of 1 MiB, the signal ignored so that the program
 * sees the write refused; the LEDs say it was not. The file goes at once,
 * so that only the limit on each file can tell. */
static void write_one_big_file(void)
{
    static char block[256 * 1024];
    signal(SIGXFSZ, SIG_IGN);
    int fd = open("big", O_WRONLY | O_CREAT, 0600);
    for (int i = 0; fd >= 0 && i < 8; ++i)
        if (write(fd, block, sizeof block) < 0)
            break;
    struct stat st;
    if (fd >= 0 && fstat(fd, &st) == 0 && st.st_size > (1 << 20))
        PDR8 = 1;
    unlink("big");
}

/* Six children of 100 MiB each, every page touched, all alive at once:
 * under one budget for the run they cannot all have it. Dark LEDs when
 * they did not, lit when they did. */
static void hog_memory(void)
{
    int pipes[2];
    if (pipe(pipes) != 0)
        return;
    for (int i = 0; i < 6; ++i)
        if (fork() == 0) {
            size_t size = 100u << 20;
            char *p = mmap(NULL, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
            if (p == MAP_FAILED)
                _exit(1);
            memset(p, 1, size);
            if (write(pipes[1], "x", 1) != 1)
                _exit(1);
            pause();
        }
    close(pipes[1]);
    char got[6];
    ssize_t n = 0, k;
    while (n < 6 && (k = read(pipes[0], got, sizeof got)) > 0)
        n += k;
    sim_poll();
    PDR8 = n == 6 ? 1 : 0;
}

/* Processes until fork fails, each waiting for ever. */
static void fork_bomb(void)
{
    for (int i = 0; i < 100000; ++i) {
        pid_t pid = fork();
        if (pid < 0)
            break;
        if (pid == 0) {
            pause();
            _exit(0);
        }
    }
}

/* The disk, in two ways: many empty files, then one big reservation. */
static void fill_disk(void)
{
    mkdir("many", 0700);
    for (int i = 0; i < 28000; ++i) {
        char name[32];
        snprintf(name, sizeof name, "many/%d", i);
        if (close(open(name, O_WRONLY | O_CREAT, 0600)) != 0)
            break;
    }
    int fd = open("big", O_WRONLY | O_CREAT, 0600);
    if (fd >= 0)
        posix_fallocate(fd, 0, (off_t)1 << 30);
    close(fd);
}

/* 1.2 MiB at the bottom of 200 directories of 30 letters each, a path past
 * PATH_MAX, the deepest of them locked, and a locked one beside them. */
static void write_deep(void)
{
    static char block[60 * 1024];
    mkdir("locked", 0700);
    close(open("locked/file", O_WRONLY | O_CREAT, 0600));
    chmod("locked", 0);
    int dir = open(".", O_RDONLY | O_DIRECTORY);
    for (int i = 0; i < 200 && dir >= 0; ++i) {
        const char *name = "abcdefghijklmnopqrstuvwxyz0123";
        mkdirat(dir, name, 0700);
        int next = openat(dir, name, O_RDONLY | O_DIRECTORY);
        close(dir);
        dir = next;
    }
    for (int f = 0; f < 2; ++f) { /* each under a limit of 1 MiB */
        int fd = openat(dir, f ? "bottom1" : "bottom0", O_WRONLY | O_CREAT, 0600);
        for (int k = 0; fd >= 0 && k < 10; ++k)
            if (write(fd, block, sizeof block) < 0)
                break;
        close(fd);
    }
    fchmod(dir, 0);
    close(dir);
    usleep(600 * 1000);
}

/* Directories of files beside links to the teacher's directory (three
 * levels up from a run's directory without the sandbox), swapped with each
 * other by processes in sessions of their own for as long as they live:
 * a tree walked by names would follow a link into the teacher's files. */
static void swap_links(void)
{
    char a[16], l[16], name[48];
    for (int k = 0; k < 8; ++k) {
        snprintf(a, sizeof a, "a%d", k);
        snprintf(l, sizeof l, "l%d", k);
        mkdir(a, 0700);
        for (int f = 0; f < 20; ++f) {
            snprintf(name, sizeof name, "%s/f%d", a, f);
            close(open(name, O_WRONLY | O_CREAT, 0600));
        }
        if (symlink("../../../teacher", l) != 0)
            return;
    }
    for (int k = 0; k < 8; ++k)
        if (fork() == 0) {
            setsid();
            snprintf(a, sizeof a, "a%d", k);
            snprintf(l, sizeof l, "l%d", k);
            for (;;)
                renameat2(AT_FDCWD, a, AT_FDCWD, l, RENAME_EXCHANGE);
        }
}

/* What should not reach a run, as LED bits: CI's secret, the teacher's
 * bound for the library, a key in the teacher's session keyring, and a
 * HOME that is not the run's directory. */
static void look_for_secrets(void)
{
    unsigned leaks = 0;
    leaks |= getenv("CI_JOB_TOKEN") ? 0x01 : 0;
    leaks |= getenv("WENA_POLL_LIMIT") ? 0x02 : 0;
    leaks |= syscall(SYS_keyctl, KEYCTL_SEARCH, KEY_SPEC_SESSION_KEYRING, "user", "teacher", 0) >= 0 ? 0x04 : 0;
    char here[4096];
    const char *home = getenv("HOME");
    leaks |= home && getcwd(here, sizeof here) && strcmp(home, here) == 0 ? 0 : 0x08;
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
    if (IS("exits-139"))
        exit(139);
    sim_poll();
    if (IS("forks-and-returns") && fork() == 0)
        return 0;
    if (IS("forks-brute-force"))
        brute_force();
    if (IS("closes-descriptors"))
        close_range(3, ~0U, 0);
    if (IS("returns-after-poll"))
        return 0;
    if (IS("plants-picture"))
        plant_picture();
    if (IS("forges-signals"))
        forge_signals();
    if (IS("swaps-scenario"))
        swap_scenario();
    if (IS("allocates-much"))
        allocate_much();
    if (IS("writes-one-big-file"))
        write_one_big_file();
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
    if (IS("hogs-memory"))
        hog_memory();
    if (IS("forks-a-bomb"))
        fork_bomb();
    if (IS("fills-the-disk"))
        fill_disk();
    if (IS("writes-deep"))
        write_deep();
    if (IS("swaps-links"))
        swap_links();
    if (IS("looks-for-secrets"))
        look_for_secrets();
    for (;;)
        sim_poll();
}
