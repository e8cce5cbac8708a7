#include "board/settings.h"

#include <cctype>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <sys/stat.h>
#include <unistd.h>

static const char settings_file[] = "WENA.ini";

// Only the head of the file can hold the three numbers; a huge file is not
// read to its end.
enum { READ_LIMIT = 4096 };

// One "%d" conversion: leading white space, an optional sign, digits.
static bool parse_int(const char *text, size_t len, size_t *pos, int *out)
{
    size_t i = *pos;
    while (i < len && isspace((unsigned char)text[i]))
        ++i;
    bool negative = false;
    if (i < len && (text[i] == '+' || text[i] == '-'))
        negative = text[i++] == '-';
    if (i >= len || !isdigit((unsigned char)text[i]))
        return false;
    long long value = 0;
    for (; i < len && isdigit((unsigned char)text[i]); ++i) {
        value = value * 10 + (text[i] - '0');
        if (value > (long long)INT_MAX + 1)
            return false;
    }
    if (negative)
        value = -value;
    if (value < INT_MIN || value > INT_MAX)
        return false;
    *out = (int)value;
    *pos = i;
    return true;
}

int settings_parse(const char *text, size_t len, BoardSelection *selection)
{
    int *fields[3] = {&selection->input, &selection->output, &selection->analog};
    size_t pos = 0;
    for (int taken = 0; taken < 3; ++taken) {
        if (taken > 0) {
            if (pos >= len || text[pos] != ',')
                return taken;
            ++pos;
        }
        int value;
        if (!parse_int(text, len, &pos, &value))
            return taken;
        *fields[taken] = value;
    }
    return 3;
}

void settings_load(BoardSelection *selection)
{
    FILE *file = fopen(settings_file, "r");
    if (!file)
        return;
    char text[READ_LIMIT];
    size_t len = fread(text, 1, sizeof text, file);
    fclose(file);
    settings_parse(text, len, selection);
}

static bool write_whole(int fd, const char *text, int len)
{
    while (len > 0) {
        ssize_t done = write(fd, text, (size_t)len);
        if (done <= 0)
            return false;
        text += done;
        len -= (int)done;
    }
    return true;
}

bool settings_save(const BoardSelection &selection)
{
    char text[48];
    int len = snprintf(text, sizeof text, "%d,%d,%d", selection.input, selection.output, selection.analog);
    char temp_name[] = "WENA.ini.XXXXXX";
    int fd = mkstemp(temp_name);
    if (fd < 0)
        return false;
    bool written = write_whole(fd, text, len) && fsync(fd) == 0;
    mode_t mask = umask(0);  // the new file gets the mode a plain create would give
    umask(mask);
    fchmod(fd, 0666 & ~mask);
    written = close(fd) == 0 && written;
    if (written && rename(temp_name, settings_file) == 0)
        return true;
    unlink(temp_name);
    return false;
}
