// POSIX file replacement: write a temporary file, then rename it over.
#include "console/platform.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

static bool write_whole(int fd, const char *bytes, size_t n)
{
    while (n > 0) {
        ssize_t done = write(fd, bytes, n);
        if (done <= 0)
            return false;
        bytes += done;
        n -= (size_t)done;
    }
    return true;
}

bool plat_replace_file(const char *path, const char *bytes, size_t n, bool durable)
{
    char temp_name[4096];
    if (snprintf(temp_name, sizeof temp_name, "%s.XXXXXX", path) >= (int)sizeof temp_name)
        return false;
    int fd = mkstemp(temp_name);
    if (fd < 0)
        return false;
    bool written = write_whole(fd, bytes, n) && (!durable || fsync(fd) == 0);
    mode_t mask = umask(0);  // the new file gets the mode a plain create would give
    umask(mask);
    fchmod(fd, 0666 & ~mask);
    written = close(fd) == 0 && written;
    if (written && rename(temp_name, path) == 0)
        return true;
    unlink(temp_name);
    return false;
}
