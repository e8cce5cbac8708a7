// Windows whole-file writes that respect what the path names: a file is
// replaced by a new one moved over it (a plain rename refuses to) where it
// truly is, through symbolic links, or rewritten in place when it has other
// names (hard links), as on POSIX; a device
// (NUL, CON, COM1...) is written in place, and /dev/stdout and /dev/stderr
// name the handles this process holds, as on POSIX. Names are UTF-8 and
// reach the system as UTF-16, so that every character is kept whatever the
// system's code page.
#include "platform/platform.h"
#include "platform/windows/console_state.h"

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <io.h>
#include <string>
#include <windows.h>

enum TargetKind { TARGET_NEW, TARGET_REGULAR, TARGET_IN_PLACE, TARGET_HANDLE, TARGET_DIRECTORY };

static int errno_of_last_error()
{
    DWORD error = GetLastError();
    if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND || error == ERROR_INVALID_NAME)
        return ENOENT;
    if (error == ERROR_ACCESS_DENIED || error == ERROR_SHARING_VIOLATION || error == ERROR_WRITE_PROTECT)
        return EACCES;
    return EIO;
}

static DWORD standard_handle_named(const std::string &path)
{
    if (path == "/dev/stdout")
        return STD_OUTPUT_HANDLE;
    if (path == "/dev/stderr")
        return STD_ERROR_HANDLE;
    return 0;
}

// The name a device goes by in any folder and with any extension: "CON"
// for "sub\\con.txt".
static std::string device_base(const std::string &path)
{
    size_t start = path.find_last_of("/\\:");
    std::string base = path.substr(start == std::string::npos ? 0 : start + 1);
    base = base.substr(0, base.find('.'));
    for (char &c : base)
        c = (char)toupper((unsigned char)c);
    return base;
}

// NUL, CON, PRN, AUX, COM1-9, LPT1-9.
static bool is_device_name(const std::string &path)
{
    std::string base = device_base(path);
    if (base == "NUL" || base == "CON" || base == "PRN" || base == "AUX")
        return true;
    return base.size() == 4 && (base.compare(0, 3, "COM") == 0 || base.compare(0, 3, "LPT") == 0) &&
           base[3] >= '1' && base[3] <= '9';
}

static std::string directory_of(const std::string &path)
{
    size_t slash = path.find_last_of("/\\");
    return slash == std::string::npos ? "." : slash == 0 ? path.substr(0, 1) : path.substr(0, slash);
}

static TargetKind kind_of(const std::string &path)
{
    if (standard_handle_named(path))
        return TARGET_HANDLE;
    if (is_device_name(path))
        return TARGET_IN_PLACE;
    DWORD attributes = GetFileAttributesW(widen(path).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return TARGET_NEW;
    return attributes & FILE_ATTRIBUTE_DIRECTORY ? TARGET_DIRECTORY : TARGET_REGULAR;
}

static bool read_only(const std::string &path)
{
    DWORD attributes = GetFileAttributesW(widen(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY);
}

static bool write_whole(HANDLE file, const char *bytes, size_t n)
{
    while (n > 0) {
        DWORD chunk = n > 0x10000000 ? 0x10000000 : (DWORD)n;
        DWORD done = 0;
        if (!WriteFile(file, bytes, chunk, &done, nullptr) || done == 0) {
            errno = done == 0 ? EIO : errno_of_last_error();
            return false;
        }
        bytes += done;
        n -= done;
    }
    return true;
}

static bool write_in_place(const std::string &path, const char *bytes, size_t n)
{
    HANDLE file = CreateFileW(widen(path).c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        errno = errno_of_last_error();
        return false;
    }
    bool written = write_whole(file, bytes, n);
    CloseHandle(file);
    return written;
}

static bool replace_whole(const std::string &path, const char *bytes, size_t n, bool durable)
{
    static unsigned counter;
    std::string temp_name;
    HANDLE file = INVALID_HANDLE_VALUE;
    for (int attempt = 0; file == INVALID_HANDLE_VALUE && attempt < 100; ++attempt) {
        temp_name = path + ".tmp" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(counter++);
        file = CreateFileW(widen(temp_name).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE && GetLastError() != ERROR_FILE_EXISTS) {
            errno = errno_of_last_error();
            return false;
        }
    }
    if (file == INVALID_HANDLE_VALUE) {
        errno = EEXIST;
        return false;
    }
    bool written = write_whole(file, bytes, n) && (!durable || FlushFileBuffers(file));
    written = CloseHandle(file) && written;
    DWORD flags = MOVEFILE_REPLACE_EXISTING | (durable ? MOVEFILE_WRITE_THROUGH : 0);
    if (written && MoveFileExW(widen(temp_name).c_str(), widen(path).c_str(), flags))
        return true;
    int error = written ? errno_of_last_error() : errno;
    DeleteFileW(widen(temp_name).c_str());
    errno = error;
    return false;
}

// A file with other names (hard links) keeps them: it is rewritten where it
// is, as POSIX does.
static bool rewrite_shared(const std::string &path, const char *bytes, size_t n, bool durable)
{
    HANDLE file = CreateFileW(widen(path).c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              TRUNCATE_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        errno = errno_of_last_error();
        return false;
    }
    bool written = write_whole(file, bytes, n) && (!durable || FlushFileBuffers(file));
    return CloseHandle(file) && written;
}

// Where a regular file is, through symbolic links, and how many names it
// has; false when it cannot be opened to tell.
static bool final_file(const std::string &path, std::string &final_path, DWORD &names)
{
    HANDLE file = CreateFileW(widen(path).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    BY_HANDLE_FILE_INFORMATION info;
    std::wstring wide(32768, L'\0');
    DWORD n = GetFinalPathNameByHandleW(file, wide.data(), (DWORD)wide.size(), FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
    bool known = n > 0 && n < wide.size() && GetFileInformationByHandle(file, &info);
    CloseHandle(file);
    if (!known)
        return false;
    wide.resize(n);
    final_path = narrow(wide);
    names = info.nNumberOfLinks;
    return true;
}

// A regular file is replaced whole where it truly is, so that a symbolic
// link stays a link to the new text, and a file with several names keeps
// them all.
static bool replace_regular(const std::string &path, const char *bytes, size_t n, bool durable)
{
    std::string real;
    DWORD names = 1;
    if (!final_file(path, real, names))
        real = path;
    if (names > 1)
        return rewrite_shared(real, bytes, n, durable);
    return replace_whole(real, bytes, n, durable);
}

// A name that is no UTF-8 would reach the system with replacement
// characters in it: another name than the one written.
static bool is_utf8(const std::string &name)
{
    return MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, name.data(), (int)name.size(), nullptr, 0) > 0;
}

bool plat_file_writable(const char *path)
{
    std::string name = path;
    if (!name.empty() && !is_utf8(name)) {
        errno = EILSEQ;
        return false;
    }
    switch (name.empty() ? TARGET_DIRECTORY : kind_of(name)) {
    case TARGET_DIRECTORY:
        errno = name.empty() ? ENOENT : EISDIR;
        return false;
    case TARGET_REGULAR:
        // A file made read-only was made so on purpose.
        if (read_only(name)) {
            errno = EACCES;
            return false;
        }
        return true;
    case TARGET_NEW:
        if (kind_of(directory_of(name)) != TARGET_DIRECTORY) {
            errno = ENOENT;
            return false;
        }
        return true;
    default:
        return true;
    }
}

bool plat_replace_file(const char *path, const char *bytes, size_t n, bool durable)
{
    if (!plat_file_writable(path))
        return false;
    std::string name = path;
    TargetKind kind = kind_of(name);
    if (kind == TARGET_HANDLE)
        return write_whole(GetStdHandle(standard_handle_named(name)), bytes, n);
    if (kind == TARGET_IN_PLACE)
        return write_in_place(name, bytes, n);
    if (kind == TARGET_REGULAR)
        return replace_regular(name, bytes, n, durable);
    return replace_whole(name, bytes, n, durable);
}

FILE *plat_open_stream(const char *path)
{
    if (!plat_file_writable(path))
        return nullptr;
    std::string name = path;
    if (kind_of(name) == TARGET_HANDLE) {
        int fd = _dup(name == "/dev/stdout" ? 1 : 2);
        FILE *stream = fd >= 0 ? _fdopen(fd, "wb") : nullptr;
        if (!stream && fd >= 0)
            _close(fd);
        return stream;
    }
    return _wfopen(widen(path).c_str(), L"wb");
}

bool plat_write_stream(FILE *stream, const char *bytes, size_t n)
{
    return fwrite(bytes, 1, n, stream) == n && fflush(stream) == 0;
}

long plat_read_head(const char *path, char *bytes, size_t n)
{
    std::string name = path;
    TargetKind kind = kind_of(name);
    if (kind == TARGET_NEW) {
        errno = ENOENT;
        return -1;
    }
    if (kind != TARGET_REGULAR) {
        errno = EINVAL;
        return -1;
    }
    FILE *file = _wfopen(widen(path).c_str(), L"rb");
    if (!file)
        return -1;
    size_t len = fread(bytes, 1, n, file);
    bool failed = ferror(file);
    fclose(file);
    if (failed) {
        errno = EIO;
        return -1;
    }
    return (long)len;
}

bool plat_read_whole(const char *path, size_t limit, std::string &text, std::string &why)
{
    std::string name = path;
    TargetKind kind = kind_of(name);
    if (kind == TARGET_NEW) {
        why = strerror(ENOENT);
        return false;
    }
    if (kind != TARGET_REGULAR) {
        why = kind == TARGET_DIRECTORY ? "it is a directory" : "it is not a regular file";
        return false;
    }
    FILE *file = _wfopen(widen(path).c_str(), L"rb");
    if (!file) {
        why = strerror(errno);
        return false;
    }
    char block[65536];
    size_t got;
    while (why.empty() && (got = fread(block, 1, sizeof block, file)) > 0) {
        text.append(block, got);
        if (text.size() > limit)
            why = "it is larger than " + std::to_string(limit) + " bytes";
    }
    if (why.empty() && ferror(file))
        why = strerror(EIO);
    fclose(file);
    return why.empty();
}

// The volume and index of the file a path names, through links.
static bool file_identity(const char *path, BY_HANDLE_FILE_INFORMATION *info)
{
    HANDLE file = CreateFileW(widen(path).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                              FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    bool known = GetFileInformationByHandle(file, info) != 0;
    CloseHandle(file);
    return known;
}

bool plat_same_file(const char *a, const char *b)
{
    BY_HANDLE_FILE_INFORMATION ia, ib;
    return file_identity(a, &ia) && file_identity(b, &ib) && ia.dwVolumeSerialNumber == ib.dwVolumeSerialNumber &&
           ia.nFileIndexHigh == ib.nFileIndexHigh && ia.nFileIndexLow == ib.nFileIndexLow;
}

bool plat_names_the_console(const char *path)
{
    std::string base = device_base(path);
    return base == "CON" || base == "CONOUT$";
}

void plat_cut_stream(FILE *stream, long long length)
{
    int fd = _fileno(stream);
    if (GetFileType((HANDLE)_get_osfhandle(fd)) == FILE_TYPE_DISK && _filelengthi64(fd) > length)
        _chsize_s(fd, length);
}

std::string plat_executable_path()
{
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        DWORD len = GetModuleFileNameW(nullptr, &path[0], (DWORD)path.size());
        if (len == 0)
            return "";
        if (len < path.size()) {
            path.resize(len);
            return narrow(path);
        }
        // Cut short: a long path (\\?\), tried again with room for it.
        path.resize(path.size() * 2);
        if (path.size() > 65536)
            return "";
    }
}
