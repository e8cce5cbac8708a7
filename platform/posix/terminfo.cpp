// Reads one flag of the terminal's own description, its compiled terminfo
// entry: whether erasing fills cells with the background colour in force.
// No entry, or one that cannot be read, means no: blanks are always safe.
#include "platform/platform.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

enum {
    MAGIC_16BIT = 0432,
    MAGIC_32BIT = 01036,
    HEADER_BYTES = 12,
    BCE_INDEX = 28,  // back_color_erase in the order of the boolean capabilities
};

static int little_short(const unsigned char *p) { return p[0] | p[1] << 8; }

static bool entry_has_bce(const std::string &path)
{
    FILE *f = fopen(path.c_str(), "rb");
    if (!f)
        return false;
    unsigned char header[HEADER_BYTES];
    bool flag = false;
    if (fread(header, 1, sizeof header, f) == sizeof header) {
        int magic = little_short(header), names = little_short(header + 2), booleans = little_short(header + 4);
        unsigned char value = 0;
        if ((magic == MAGIC_16BIT || magic == MAGIC_32BIT) && names > 0 && booleans > BCE_INDEX &&
            fseek(f, HEADER_BYTES + names + BCE_INDEX, SEEK_SET) == 0 && fread(&value, 1, 1, f) == 1)
            flag = value == 1;
    }
    fclose(f);
    return flag;
}

static bool file_exists(const std::string &path)
{
    FILE *f = fopen(path.c_str(), "rb");
    if (f)
        fclose(f);
    return f != nullptr;
}

// Entries lie under their first letter, or its hexadecimal code on some systems.
static bool find_in(const std::string &dir, const char *name, std::string &found)
{
    if (dir.empty())
        return false;
    char hex[3];
    snprintf(hex, sizeof hex, "%02x", (unsigned char)name[0]);
    for (const std::string &sub : {std::string(1, name[0]), std::string(hex)}) {
        std::string path = dir + "/" + sub + "/" + name;
        if (file_exists(path)) {
            found = path;
            return true;
        }
    }
    return false;
}

// The same places, in the same order, as the terminal libraries search.
static bool find_entry(const char *name, std::string &found)
{
    const char *terminfo = getenv("TERMINFO");
    if (terminfo && find_in(terminfo, name, found))
        return true;
    const char *home = getenv("HOME");
    if (home && find_in(std::string(home) + "/.terminfo", name, found))
        return true;
    std::string dirs = getenv("TERMINFO_DIRS") ? getenv("TERMINFO_DIRS") : "";
    for (size_t start = 0; start <= dirs.size();) {
        size_t end = dirs.find(':', start);
        if (end == std::string::npos)
            end = dirs.size();
        if (find_in(dirs.substr(start, end - start), name, found))
            return true;
        start = end + 1;
    }
    for (const char *dir : {"/etc/terminfo", "/lib/terminfo", "/usr/share/terminfo", "/usr/lib/terminfo"})
        if (find_in(dir, name, found))
            return true;
    return false;
}

bool plat_background_erase()
{
    const char *name = getenv("TERM");
    // A name with a slash could lead anywhere; none is ever needed.
    if (!name || !*name || strchr(name, '/') || strstr(name, ".."))
        return false;
    std::string path;
    return find_entry(name, path) && entry_has_bce(path);
}
