// The files a teacher names: reports written at the end and inputs read at
// the start. Both are judged before any run, so that an hour of grading is
// never lost to a report that cannot be written, and nothing a teacher
// names can make the grader wait for ever.
#include "tools/grade/grade.h"

#include "platform/platform.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

static std::string kind_refusal(const struct stat &st)
{
    if (S_ISDIR(st.st_mode))
        return "it is a directory";
    if (S_ISFIFO(st.st_mode))
        return "it is a FIFO; a report is written as a whole file";
    if (!S_ISREG(st.st_mode) && !S_ISCHR(st.st_mode))
        return "it is neither a regular file nor a character device";
    return "";
}

std::string grade_output_refusal(const std::string &path)
{
    if (path.empty())
        return "no file named";
    struct stat st;
    if (stat(path.c_str(), &st) == 0) {
        std::string why = kind_refusal(st);
        if (!why.empty())
            return why;
    } else if (errno != ENOENT) {
        return strerror(errno);
    }
    if (!plat_file_writable(path.c_str()))
        return strerror(errno);
    return "";
}

bool grade_read_input(const std::string &path, size_t limit, std::string &text, std::string &why)
{
    // Opened without waiting, then judged by what was opened: a FIFO with no
    // writer would block the start, a terminal would wait for typing.
    int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    struct stat st;
    if (fd < 0 || fstat(fd, &st) != 0) {
        why = strerror(errno);
        if (fd >= 0)
            close(fd);
        return false;
    }
    if (!S_ISREG(st.st_mode)) {
        why = S_ISDIR(st.st_mode)    ? "it is a directory"
              : S_ISFIFO(st.st_mode) ? "it is a FIFO, not a regular file"
                                     : "it is not a regular file";
        close(fd);
        return false;
    }
    // Read by blocks: the text is kept for the whole grading, once per
    // scenario, so it holds what the file has, not the limit.
    text.clear();
    char block[8192];
    ssize_t n = 0;
    while (text.size() < limit && (n = read(fd, block, std::min(sizeof block, limit - text.size()))) > 0)
        text.append(block, (size_t)n);
    int error = errno;
    close(fd);
    if (n < 0) {
        why = strerror(error);
        return false;
    }
    return true;
}

std::string grade_absolute(const std::string &path)
{
    char here[PATH_MAX];
    if ((!path.empty() && path[0] == '/') || !getcwd(here, sizeof here))
        return path;
    return std::string(here) + "/" + path;
}
