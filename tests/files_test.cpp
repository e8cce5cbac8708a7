// Whole-file writes never change what kind of file a path names: FIFOs are
// written in place, links lead to their target, read-only files are left
// alone, and no temporary file is left behind. (A device is kept as a device
// by the dump-at-exit scenario test, which writes through the same call.)
#include "platform/platform.h"
#include "tests/support/temp_dir.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

class FileKinds : public TempDirTest {
protected:
    bool put(const std::string &name, const char *text)
    {
        return plat_replace_file(file(name).c_str(), text, strlen(text), false);
    }
    struct stat lstat_of(const std::string &name)
    {
        struct stat st {};
        EXPECT_EQ(lstat(file(name).c_str(), &st), 0) << name;
        return st;
    }
    void create(const std::string &name, const char *text, mode_t mode)
    {
        ASSERT_TRUE(put(name, text));
        ASSERT_EQ(chmod(file(name).c_str(), mode), 0);
    }
    // Nothing in the directory but the given names.
    std::string leftovers()
    {
        return run_output("cd " + shell_quote(dir) +
                          " && ls -A | grep -v -x -e keep -e link -e a -e b -e fifo -e target; true");
    }
};

TEST_F(FileKinds, RegularFilesAndLinks)
{
    create("keep", "old", 0640);
    EXPECT_TRUE(put("keep", "new"));
    EXPECT_EQ(read("keep"), "new");
    EXPECT_EQ(lstat_of("keep").st_mode & 07777, 0640u) << "the mode is kept";

    ASSERT_EQ(symlink("target", file("link").c_str()), 0);
    EXPECT_TRUE(put("link", "through a dangling link"));
    EXPECT_EQ(read("target"), "through a dangling link");
    EXPECT_TRUE(put("link", "through the link"));
    EXPECT_TRUE(S_ISLNK(lstat_of("link").st_mode)) << "the link stays a link";
    EXPECT_EQ(read("target"), "through the link");

    create("a", "a long old text", 0644);
    ASSERT_EQ(link(file("a").c_str(), file("b").c_str()), 0);
    EXPECT_TRUE(put("a", "short"));
    EXPECT_EQ(read("b"), "short") << "both names are still one file";
    EXPECT_EQ(lstat_of("a").st_nlink, 2u);

    EXPECT_EQ(leftovers(), "") << "no temporary file";
}

TEST_F(FileKinds, ReadOnlyFilesAndDirectoriesAreRefused)
{
    create("keep", "kept", 0444);
    errno = 0;
    EXPECT_FALSE(put("keep", "x")) << "not even root replaces a read-only file";
    EXPECT_EQ(errno, EACCES);
    EXPECT_EQ(read("keep"), "kept");
    ASSERT_EQ(mkdir(file("target").c_str(), 0755), 0);
    EXPECT_FALSE(put("target", "x"));
    EXPECT_EQ(errno, EISDIR);
    EXPECT_FALSE(plat_file_writable(file("target").c_str()));
    EXPECT_FALSE(plat_file_writable(file("missing/x").c_str()));
    EXPECT_TRUE(plat_file_writable(file("new").c_str()));
    EXPECT_EQ(leftovers(), "");
}

TEST_F(FileKinds, FifosAndOpenDescriptorsAreWrittenInPlace)
{
    ASSERT_EQ(mkfifo(file("fifo").c_str(), 0644), 0);
    EXPECT_FALSE(put("fifo", "nobody reads")) << "fails at once rather than blocking";
    EXPECT_EQ(errno, ENXIO);
    int reader = open(file("fifo").c_str(), O_RDONLY | O_NONBLOCK);
    ASSERT_GE(reader, 0);
    EXPECT_TRUE(put("fifo", "read"));
    char got[16] = {};
    EXPECT_EQ(::read(reader, got, sizeof got), 4);
    EXPECT_STREQ(got, "read");
    close(reader);
    EXPECT_TRUE(S_ISFIFO(lstat_of("fifo").st_mode));

    int pipe_ends[2];
    ASSERT_EQ(pipe(pipe_ends), 0);
    std::string name = "/dev/fd/" + std::to_string(pipe_ends[1]);
    EXPECT_TRUE(plat_replace_file(name.c_str(), "piped", 5, false));
    close(pipe_ends[1]);
    EXPECT_EQ(::read(pipe_ends[0], got, sizeof got), 5);
    close(pipe_ends[0]);
    EXPECT_FALSE(plat_replace_file(name.c_str(), "closed", 6, false));
    EXPECT_EQ(errno, EBADF);
}
