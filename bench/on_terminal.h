// For the plain benchmark programs: the picture drawn on the terminal (the
// console) the program was started on, even when standard output is a file,
// and a scratch directory as the current one, for WENA.ini.
#pragma once

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <unistd.h>
#endif

#include <filesystem>

inline bool draw_on_the_terminal()
{
#ifdef _WIN32
    HANDLE console = CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                 nullptr, OPEN_EXISTING, 0, nullptr);
    return console != INVALID_HANDLE_VALUE && SetStdHandle(STD_OUTPUT_HANDLE, console);
#else
    int terminal = open("/dev/tty", O_RDWR);
    return terminal >= 0 && dup2(terminal, STDOUT_FILENO) >= 0;
#endif
}

class ScratchDir {
public:
    explicit ScratchDir(const char *name) : dir(std::filesystem::temp_directory_path() / name)
    {
        std::filesystem::create_directories(dir);
        std::filesystem::current_path(dir);
    }
    ~ScratchDir()
    {
        std::filesystem::current_path(dir.parent_path());
        std::filesystem::remove_all(dir);
    }

private:
    std::filesystem::path dir;
};
