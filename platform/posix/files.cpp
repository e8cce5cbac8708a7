// POSIX whole-file writes that respect what the path names: a regular file
// is replaced by rename, a device or FIFO is written in place, a symbolic
// link leads to its target, and an open descriptor named as /dev/fd/N is
// written directly.
#include "platform/platform.h"

#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <ctime>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

enum { MAX_LINK_HOPS = 40 };

enum TargetKind { TARGET_NEW, TARGET_REGULAR, TARGET_IN_PLACE, TARGET_DESCRIPTOR };

struct FileTarget {
    TargetKind kind;
    std::string name;  // after following symbolic links
    int fd;            // TARGET_DESCRIPTOR
    struct stat st;    // TARGET_REGULAR
};

static bool write_whole(int fd, const char *bytes, size_t n)
{
    while (n > 0) {
        ssize_t done = write(fd, bytes, n);
        if (done < 0 && errno == EINTR)
            continue;
        if (done <= 0) {
            if (done == 0)
                errno = EIO;
            return false;
        }
        bytes += done;
        n -= (size_t)done;
    }
    return true;
}

// /dev/stdout, /dev/stderr, /dev/fd/N, /proc/self/fd/N: the descriptor this
// process already holds, which works even where reopening the name would not.
static bool descriptor_name(const std::string &name, int *fd)
{
    if (name == "/dev/stdout" || name == "/dev/stderr") {
        *fd = name == "/dev/stdout" ? STDOUT_FILENO : STDERR_FILENO;
        return true;
    }
    const char *digits = nullptr;
    if (name.rfind("/dev/fd/", 0) == 0)
        digits = name.c_str() + 8;
    else if (name.rfind("/proc/self/fd/", 0) == 0)
        digits = name.c_str() + 14;
    if (!digits || !*digits || strspn(digits, "0123456789") != strlen(digits) || strlen(digits) > 6)
        return false;
    *fd = atoi(digits);
    return true;
}

static std::string directory_of(const std::string &name)
{
    size_t slash = name.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : name.substr(0, slash);
}

// What writing to path would write to. False with errno set when the path
// cannot be written at all.
static bool resolve(const char *path, FileTarget *target)
{
    target->name = path;
    if (target->name.empty()) {
        errno = ENOENT;
        return false;
    }
    for (int hop = 0; hop < MAX_LINK_HOPS; ++hop) {
        if (descriptor_name(target->name, &target->fd)) {
            target->kind = TARGET_DESCRIPTOR;
            if (fcntl(target->fd, F_GETFL) < 0)
                return false;
            return true;
        }
        struct stat st;
        if (lstat(target->name.c_str(), &st) != 0) {
            if (errno != ENOENT)
                return false;
            target->kind = TARGET_NEW;
            return true;
        }
        if (S_ISLNK(st.st_mode)) {
            // Links under /proc name open files of some process; the kernel
            // opens them, their text is no path.
            if (target->name.rfind("/proc/", 0) == 0) {
                target->kind = TARGET_IN_PLACE;
                return true;
            }
            char link[PATH_MAX];
            ssize_t len = readlink(target->name.c_str(), link, sizeof link - 1);
            if (len < 0)
                return false;
            link[len] = '\0';
            target->name = link[0] == '/' ? std::string(link) : directory_of(target->name) + "/" + link;
            continue;
        }
        if (S_ISDIR(st.st_mode)) {
            errno = EISDIR;
            return false;
        }
        if (!S_ISREG(st.st_mode)) {
            target->kind = TARGET_IN_PLACE;
            return true;
        }
        // A file without any write permission was made read-only on purpose,
        // which even root respects here.
        if ((st.st_mode & 0222) == 0 || access(target->name.c_str(), W_OK) != 0) {
            errno = EACCES;
            return false;
        }
        target->kind = TARGET_REGULAR;
        target->st = st;
        return true;
    }
    errno = ELOOP;
    return false;
}

static sigset_t block_sigpipe()
{
    sigset_t pipe_signal, old;
    sigemptyset(&pipe_signal);
    sigaddset(&pipe_signal, SIGPIPE);
    sigprocmask(SIG_BLOCK, &pipe_signal, &old);
    return old;
}

// Takes a blocked SIGPIPE (the one signal in set) off the queue if one is
// there, never waiting.
static void take_pending(const sigset_t *set)
{
#ifdef WENA_HAVE_SIGTIMEDWAIT
    struct timespec no_wait = {0, 0};
    sigtimedwait(set, nullptr, &no_wait);
#else
    sigset_t pending;
    int sig;
    if (sigpending(&pending) == 0 && sigismember(&pending, SIGPIPE))
        sigwait(set, &sig);
#endif
}

// A SIGPIPE the failed write raised is taken off the queue before the old
// mask comes back, so it never kills the program. Keeps the write's errno.
static bool unblock_sigpipe(const sigset_t *old, bool written)
{
    int saved = errno;
    if (!written && saved == EPIPE && !sigismember(old, SIGPIPE)) {
        sigset_t pipe_signal;
        sigemptyset(&pipe_signal);
        sigaddset(&pipe_signal, SIGPIPE);
        take_pending(&pipe_signal);
    }
    sigprocmask(SIG_SETMASK, old, nullptr);
    errno = saved;
    return written;
}

// A reader that has gone makes the write fail with EPIPE instead of ending
// the process with SIGPIPE: a dump is not worth the program.
static bool write_to_stream(int fd, const char *bytes, size_t n)
{
    sigset_t old = block_sigpipe();
    bool written = write_whole(fd, bytes, n);
    return unblock_sigpipe(&old, written);
}

// Devices and FIFOs keep their kind; a FIFO nobody reads fails at once
// (ENXIO) rather than blocking the program.
static bool write_in_place(const std::string &name, const char *bytes, size_t n)
{
    int fd = open(name.c_str(), O_WRONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return false;
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    bool written = write_to_stream(fd, bytes, n);
    int saved = errno;
    close(fd);
    errno = saved;
    return written;
}

// Catchable signals wait while a temporary file has a name, so that Ctrl-C or
// SIGTERM never leave one behind.
static void block_signals(sigset_t *old)
{
    sigset_t all;
    sigfillset(&all);
    sigprocmask(SIG_BLOCK, &all, old);
}

static void unblock_signals(const sigset_t *old)
{
    int saved = errno;
    sigprocmask(SIG_SETMASK, old, nullptr);
    errno = saved;
}

// A file with more than one name is rewritten through its descriptor, so the
// names stay one file; the new bytes go in first and the tail is cut after,
// with catchable signals waiting so that nothing stops it in between.
static bool rewrite_shared_file(const std::string &name, const char *bytes, size_t n, bool durable)
{
    int fd = open(name.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return false;
    sigset_t old;
    block_signals(&old);
    bool written = write_whole(fd, bytes, n) && ftruncate(fd, (off_t)n) == 0 && (!durable || fsync(fd) == 0);
    int saved = errno;
    close(fd);
    unblock_signals(&old);
    errno = saved;
    return written;
}

// The new file gets the old one's mode and, where allowed, its owner; a new
// name gets what a plain create would give.
static void give_mode(int fd, const FileTarget &target)
{
    if (target.kind == TARGET_REGULAR) {
        fchmod(fd, target.st.st_mode & 07777);
        if (fchown(fd, target.st.st_uid, target.st.st_gid) != 0)
            fchmod(fd, target.st.st_mode & 0777);  // a set-id bit must not pass to a new owner
        return;
    }
    mode_t mask = umask(0);
    umask(mask);
    fchmod(fd, 0666 & ~mask);
}

static bool finish_temp(int fd, const char *bytes, size_t n, bool durable)
{
    bool ok = write_whole(fd, bytes, n) && (!durable || fsync(fd) == 0);
    int saved = errno;
    if (close(fd) != 0 && ok)
        return false;
    errno = saved;
    return ok;
}

static bool rename_or_remove(const std::string &temp_name, const std::string &name, bool ok)
{
    if (ok && rename(temp_name.c_str(), name.c_str()) == 0)
        return true;
    int saved = errno;
    unlink(temp_name.c_str());
    errno = saved;
    return false;
}

// Written while it has no name (O_TMPFILE), so a kill, even SIGKILL, during
// the write leaves nothing; it gets a name only for the moment before the
// rename. False with errno EOPNOTSUPP where the system cannot do it.
static bool replace_via_unnamed(const FileTarget &target, const char *bytes, size_t n, bool durable)
{
#ifdef WENA_HAVE_O_TMPFILE
    int fd = open(directory_of(target.name).c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
    if (fd < 0) {
        if (errno == EISDIR || errno == EINVAL)
            errno = EOPNOTSUPP;
        return false;
    }
    give_mode(fd, target);
    char proc_name[40];
    snprintf(proc_name, sizeof proc_name, "/proc/self/fd/%d", fd);
    bool written = write_whole(fd, bytes, n) && (!durable || fsync(fd) == 0);
    sigset_t old;
    block_signals(&old);
    std::string temp_name;
    bool linked = false;
    for (int attempt = 0; written && !linked && attempt < 100; ++attempt) {
        temp_name = target.name + ".tmp" + std::to_string(getpid()) + "-" + std::to_string(attempt);
        linked = linkat(AT_FDCWD, proc_name, AT_FDCWD, temp_name.c_str(), AT_SYMLINK_FOLLOW) == 0;
        if (!linked && errno != EEXIST)
            break;
    }
    int saved = errno;
    close(fd);
    if (!linked) {
        unblock_signals(&old);
        errno = written && saved == ENOENT ? EOPNOTSUPP : saved;  // ENOENT: no /proc
        return false;
    }
    bool ok = rename_or_remove(temp_name, target.name, true);
    unblock_signals(&old);
    return ok;
#else
    (void)target, (void)bytes, (void)n, (void)durable;
    errno = EOPNOTSUPP;
    return false;
#endif
}

static bool replace_via_named(const FileTarget &target, const char *bytes, size_t n, bool durable)
{
    std::string temp_name = target.name + ".XXXXXX";
    sigset_t old;
    block_signals(&old);
    int fd = mkstemp(&temp_name[0]);
    if (fd < 0) {
        unblock_signals(&old);
        return false;
    }
    give_mode(fd, target);
    bool ok = rename_or_remove(temp_name, target.name, finish_temp(fd, bytes, n, durable));
    unblock_signals(&old);
    return ok;
}

bool plat_file_writable(const char *path)
{
    FileTarget target;
    if (!resolve(path, &target))
        return false;
    if (target.kind == TARGET_NEW && access(directory_of(target.name).c_str(), W_OK) != 0)
        return false;
    if (target.kind == TARGET_IN_PLACE && access(target.name.c_str(), W_OK) != 0)
        return false;
    return true;
}

bool plat_replace_file(const char *path, const char *bytes, size_t n, bool durable)
{
    FileTarget target;
    if (!resolve(path, &target))
        return false;
    if (target.kind == TARGET_DESCRIPTOR)
        return write_to_stream(target.fd, bytes, n);
    if (target.kind == TARGET_IN_PLACE)
        return write_in_place(target.name, bytes, n);
    if (target.kind == TARGET_REGULAR && target.st.st_nlink > 1)
        return rewrite_shared_file(target.name, bytes, n, durable);
    if (replace_via_unnamed(target, bytes, n, durable))
        return true;
    if (errno != EOPNOTSUPP)
        return false;
    return replace_via_named(target, bytes, n, durable);
}

FILE *plat_open_stream(const char *path)
{
    FileTarget target;
    if (!resolve(path, &target) || !plat_file_writable(path))
        return nullptr;
    int fd = target.kind == TARGET_DESCRIPTOR
                 ? fcntl(target.fd, F_DUPFD_CLOEXEC, 0)
                 : open(target.name.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0666);
    if (fd < 0)
        return nullptr;
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    FILE *stream = fdopen(fd, "wb");
    if (!stream) {
        int error = errno;
        close(fd);
        errno = error;
    }
    return stream;
}

bool plat_write_stream(FILE *stream, const char *bytes, size_t n)
{
    sigset_t old = block_sigpipe();
    bool written = fwrite(bytes, 1, n, stream) == n && fflush(stream) == 0;
    return unblock_sigpipe(&old, written);
}

long plat_read_head(const char *path, char *bytes, size_t n)
{
    struct stat st;
    if (stat(path, &st) != 0)
        return -1;
    int fd = S_ISREG(st.st_mode) ? open(path, O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC) : -1;
    // Checked again on what was opened, in case the name changed meanwhile.
    if (fd < 0 || fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        if (fd >= 0)
            close(fd);
        errno = EINVAL;
        return -1;
    }
    ssize_t len = read(fd, bytes, n);
    int saved = errno;
    close(fd);
    errno = saved;
    return len;
}

bool plat_read_whole(const char *path, size_t limit, std::string &text, std::string &why)
{
    struct stat st;
    if (stat(path, &st) != 0) {
        why = strerror(errno);
        return false;
    }
    if (!S_ISREG(st.st_mode) && !S_ISFIFO(st.st_mode)) {
        why = S_ISDIR(st.st_mode) ? "it is a directory" : "it is not a regular file";
        return false;
    }
    int fd = open(path, O_RDONLY | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        why = strerror(errno);
        return false;
    }
    char block[65536];
    for (;;) {
        ssize_t n = read(fd, block, sizeof block);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            why = strerror(errno);
        if (n <= 0)
            break;
        text.append(block, (size_t)n);
        if (text.size() > limit) {
            why = "it is larger than " + std::to_string(limit) + " bytes";
            break;
        }
    }
    close(fd);
    return why.empty();
}

bool plat_same_file(const char *a, const char *b)
{
    struct stat sa, sb;
    return stat(a, &sa) == 0 && stat(b, &sb) == 0 && sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

// A terminal has no device name that stands for the board's console alone:
// /dev/stdout may be a file, and what a dump to the terminal does is the
// user's to see.
bool plat_names_the_console(const char *) { return false; }

void plat_cut_stream(FILE *stream, long long length)
{
    struct stat st;
    int fd = fileno(stream);
    if (fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_size > length && ftruncate(fd, (off_t)length) != 0) {
        // Nothing more can be done: the file keeps the bytes past its last whole unit.
    }
}

std::string plat_executable_path()
{
    // Linux's; elsewhere the program's place stays unknown.
    std::string path(PATH_MAX, '\0');
    ssize_t len = readlink("/proc/self/exe", &path[0], path.size());
    if (len <= 0 || (size_t)len >= path.size())
        return "";
    path.resize((size_t)len);
    return path;
}
