#include "board/settings.h"

#include "platform/platform.h"

#include <cctype>
#include <climits>
#include <cerrno>
#include <cstdio>

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

// Set by the load: a file that was there but could not be read whole, is not
// a regular file, or may not be written is left as the user made it.
static bool file_kept;
static bool saving_off;

// Only a regular file is opened: opening a FIFO could block the start, and
// opening a device may do something to it.
void settings_load(BoardSelection *selection)
{
    char text[READ_LIMIT];
    long len = plat_read_head(settings_file, text, sizeof text);
    if (len < 0) {
        file_kept = errno != ENOENT || !plat_file_writable(settings_file);
        return;
    }
    file_kept = !plat_file_writable(settings_file);
    settings_parse(text, (size_t)len, selection);
}

void settings_saving_off() { saving_off = true; }

bool settings_save(const BoardSelection &selection)
{
    if (saving_off || file_kept)
        return false;
    char text[48];
    int len = snprintf(text, sizeof text, "%d,%d,%d", selection.input, selection.output, selection.analog);
    return plat_replace_file(settings_file, text, (size_t)len, true);
}
