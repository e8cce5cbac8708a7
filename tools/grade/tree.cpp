// Trees a run made, walked by descriptors. A locked directory is opened up
// through a descriptor of its own (O_PATH, then its /proc/self/fd name),
// never by a path a run could have swapped for a link meanwhile.
#include "tools/grade/tree.h"

#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

static const int DIR_FLAGS = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;

static bool dot_or_dotdot(const char *name) { return strcmp(name, ".") == 0 || strcmp(name, "..") == 0; }

// Gives the directory at name (in at) to its owner in full, and opens it.
static int open_up_and_open(int at, const char *name)
{
    int held = openat(at, name, O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (held < 0)
        return -1;
    std::string same = "/proc/self/fd/" + std::to_string(held);
    // The link in /proc is the very directory held, so it is followed.
    int fd = chmod(same.c_str(), 0700) == 0 ? open(same.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC) : -1;
    int error = errno;
    close(held);
    errno = error;
    return fd;
}

// A directory inside the tree, opened up first when it is locked.
static int open_dir_at(int at, const char *name)
{
    int fd = openat(at, name, DIR_FLAGS);
    if (fd < 0 && errno == EACCES)
        fd = open_up_and_open(at, name);
    return fd;
}

static bool same_inode(const struct stat &a, const struct stat &b) { return a.st_dev == b.st_dev && a.st_ino == b.st_ino; }

// Calls visit(st) for the root and every entry below it, depth first; each
// directory is open only while it is walked.
template <typename Visit> static void walk(const std::string &path, bool open_every, Visit visit)
{
    int root = open_dir_at(AT_FDCWD, path.c_str());
    struct stat st;
    if (root < 0 || fstat(root, &st) != 0) {
        if (root >= 0)
            close(root);
        return;
    }
    visit(st);
    dev_t device = st.st_dev;
    std::vector<DIR *> open_dirs;
    if (DIR *d = fdopendir(root))
        open_dirs.push_back(d);
    else
        close(root);
    while (!open_dirs.empty()) {
        DIR *top = open_dirs.back();
        struct dirent *e = readdir(top);
        if (!e) {
            closedir(top);
            open_dirs.pop_back();
            continue;
        }
        if (dot_or_dotdot(e->d_name) || fstatat(dirfd(top), e->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0)
            continue;
        visit(st);
        if (!S_ISDIR(st.st_mode) || st.st_dev != device)
            continue;
        int fd = open_every ? open_up_and_open(dirfd(top), e->d_name) : open_dir_at(dirfd(top), e->d_name);
        DIR *sub = fd >= 0 ? fdopendir(fd) : nullptr;
        if (sub)
            open_dirs.push_back(sub);
        else if (fd >= 0)
            close(fd);
    }
}

long long tree_bytes(const std::string &path)
{
    long long bytes = 0;
    walk(path, false, [&](const struct stat &st) { bytes += (long long)st.st_blocks * 512; });
    return bytes;
}

void tree_open_up(const std::string &path)
{
    if (int fd = open(path.c_str(), O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC); fd >= 0) {
        chmod(("/proc/self/fd/" + std::to_string(fd)).c_str(), 0700);
        close(fd);
    }
    walk(path, true, [](const struct stat &) {});
}

namespace {

// A directory being emptied: where it is in its parent, and the parent.
struct Level {
    std::string name;
    struct stat parent;
};

struct Remover {
    std::string root, failed;

    bool fail(const std::string &name)
    {
        if (failed.empty())
            failed = root + (name.empty() ? "" : "/.../" + name) + ": " + strerror(errno);
        return false;
    }

    // Removes every entry of dir but the directories that are not empty;
    // gives the name of the first of those, or "" when dir is empty now.
    bool clear(int dir, std::string &full_subdir)
    {
        full_subdir.clear();
        int fd = dup(dir);
        DIR *d = fd >= 0 ? fdopendir(fd) : nullptr;
        if (!d) {
            if (fd >= 0)
                close(fd);
            return fail("");
        }
        bool ok = true;
        while (struct dirent *e = readdir(d)) {
            struct stat st;
            if (dot_or_dotdot(e->d_name) || fstatat(dir, e->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0)
                continue;
            int flags = S_ISDIR(st.st_mode) ? AT_REMOVEDIR : 0;
            if (unlinkat(dir, e->d_name, flags) == 0)
                continue;
            if (flags && (errno == ENOTEMPTY || errno == EEXIST)) {
                if (full_subdir.empty())
                    full_subdir = e->d_name;
                continue;
            }
            ok = fail(e->d_name);
            break;
        }
        closedir(d);
        return ok;
    }

    // Goes up from dir to the parent it was entered from, and removes dir.
    int climb(int dir, const Level &up)
    {
        int parent = openat(dir, "..", DIR_FLAGS);
        struct stat st;
        close(dir);
        if (parent < 0 || fstat(parent, &st) != 0 || !same_inode(st, up.parent)) {
            if (parent >= 0)
                close(parent);
            errno = parent < 0 ? errno : ESTALE;
            fail(up.name);
            return -1;
        }
        if (unlinkat(parent, up.name.c_str(), AT_REMOVEDIR) != 0) {
            fail(up.name);
            close(parent);
            return -1;
        }
        return parent;
    }

    // One directory open at a time, so neither depth nor the length of the
    // paths is bounded; going up is checked against where it came from.
    bool empty(int dir)
    {
        std::vector<Level> above;
        while (dir >= 0) {
            std::string sub;
            fchmod(dir, 0700);
            if (!clear(dir, sub))
                break;
            if (!sub.empty()) {
                Level level{sub, {}};
                int next = fstat(dir, &level.parent) == 0 ? open_dir_at(dir, sub.c_str()) : -1;
                close(dir);
                if (next < 0)
                    return fail(sub);
                above.push_back(level);
                dir = next;
                continue;
            }
            if (above.empty()) {
                close(dir);
                return true;
            }
            Level up = above.back();
            above.pop_back();
            dir = climb(dir, up);
        }
        if (dir >= 0)
            close(dir);
        return false;
    }
};

}  // namespace

bool tree_remove(const std::string &path, std::string &failed)
{
    Remover remover{path, ""};
    int dir = open_dir_at(AT_FDCWD, path.c_str());
    bool removed;
    if (dir < 0 && (errno == ENOTDIR || errno == ELOOP))
        removed = unlink(path.c_str()) == 0 || remover.fail("");
    else if (dir < 0)
        removed = errno == ENOENT || remover.fail("");
    else
        removed = remover.empty(dir) && (rmdir(path.c_str()) == 0 || remover.fail(""));
    failed = remover.failed;
    return removed;
}
