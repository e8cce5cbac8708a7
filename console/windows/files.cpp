// Windows file replacement: write a new file beside the old one, then move it
// over the old one, which a plain rename refuses to do on Windows.
#include "console/platform.h"

#include <cstdio>
#include <windows.h>

static bool write_whole(HANDLE file, const char *bytes, size_t n)
{
    while (n > 0) {
        DWORD chunk = n > 0x10000000 ? 0x10000000 : (DWORD)n;
        DWORD done = 0;
        if (!WriteFile(file, bytes, chunk, &done, nullptr) || done == 0)
            return false;
        bytes += done;
        n -= done;
    }
    return true;
}

bool plat_replace_file(const char *path, const char *bytes, size_t n, bool durable)
{
    static unsigned counter;
    char temp_name[4096];
    if (snprintf(temp_name, sizeof temp_name, "%s.%lu-%u.tmp", path, GetCurrentProcessId(), counter++) >=
        (int)sizeof temp_name)
        return false;
    HANDLE file = CreateFileA(temp_name, GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    bool written = write_whole(file, bytes, n) && (!durable || FlushFileBuffers(file));
    written = CloseHandle(file) && written;
    DWORD flags = MOVEFILE_REPLACE_EXISTING | (durable ? MOVEFILE_WRITE_THROUGH : 0);
    if (written && MoveFileExA(temp_name, path, flags))
        return true;
    DeleteFileA(temp_name);
    return false;
}
