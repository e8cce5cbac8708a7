// H names the board.md that belongs to the running program, found from
// where the program's own file lies: an installed copy looks under its
// prefix, a program in a build tree in the sources that tree was made from.
// No path of the build machine's sources is built into the library.
#include "board/help.h"

#include "platform/platform.h"

#include <initializer_list>

#ifndef WENA_HELP_INSTALLED
#define WENA_HELP_INSTALLED "/usr/local/share/doc/wena/docs/board.md"
#endif

#ifdef _WIN32
static const char separator = '\\';
static bool is_separator(char c) { return c == '\\' || c == '/'; }
#else
static const char separator = '/';
static bool is_separator(char c) { return c == '/'; }
#endif

// "" when path has no directory part.
static std::string parent(const std::string &path)
{
    size_t end = path.size();
    while (end > 1 && is_separator(path[end - 1]))
        --end;
    while (end > 0 && !is_separator(path[end - 1]))
        --end;
    while (end > 1 && is_separator(path[end - 1]))
        --end;
    return path.substr(0, end);
}

static std::string base(const std::string &path)
{
    std::string dir = parent(path);
    size_t start = dir.size();
    while (start < path.size() && is_separator(path[start]))
        ++start;
    std::string name = path.substr(start);
    while (!name.empty() && is_separator(name.back()))
        name.pop_back();
    return name;
}

// relative is written with '/'.
static std::string join(const std::string &dir, const char *relative)
{
    std::string path = dir;
    if (!path.empty() && !is_separator(path.back()))
        path += separator;
    for (const char *c = relative; *c; ++c)
        path += *c == '/' ? separator : *c;
    return path;
}

static bool readable(const std::string &path)
{
    char byte;
    return !path.empty() && plat_read_head(path.c_str(), &byte, 1) >= 0;
}

static const char installed_doc[] = "share/doc/wena/docs/board.md";

// The prefix of an installed program, PREFIX/bin/PROGRAM or an example in
// PREFIX/lib/wena/examples; "" for a program anywhere else.
static std::string installed_prefix(const std::string &dir)
{
    if (base(dir) == "bin")
        return parent(dir);
    std::string wena = parent(dir), lib = parent(wena);
    if (base(dir) == "examples" && base(wena) == "wena" && base(lib) == "lib")
        return parent(lib);
    return "";
}

// A CMake cache entry's value ("NAME:TYPE=value"); "" when it has none.
static std::string cache_value(const std::string &cache, const std::string &name)
{
    size_t at = 0;
    while ((at = cache.find(name + ":", at)) != std::string::npos) {
        if (at == 0 || cache[at - 1] == '\n') {
            size_t equals = cache.find('=', at), end = cache.find_first_of("\r\n", at);
            if (equals != std::string::npos && equals < end)
                return cache.substr(equals + 1, end == std::string::npos ? std::string::npos : end - equals - 1);
        }
        at += name.size();
    }
    return "";
}

// The build machine's path as this machine reaches it: under wine a
// cross-built program finds the POSIX root as a drive of its own (Z:).
static std::string reachable(const std::string &path, const std::string &program)
{
#ifdef _WIN32
    if (!path.empty() && path[0] == '/' && program.size() > 2 && program[1] == ':')
        return join(program.substr(0, 2), path.c_str() + 1);
#else
    (void)program;
#endif
    return path;
}

// A program in a CMake build tree: the build tree of wena itself names the
// sources, a student's project the installed package it was built against.
static std::string build_tree_help(const std::string &program)
{
    std::string dir = parent(program);
    for (int up = 0; up < 4 && !dir.empty(); ++up, dir = parent(dir)) {
        std::string cache, why;
        if (!plat_read_whole(join(dir, "CMakeCache.txt").c_str(), 4 << 20, cache, why))
            continue;
        std::string sources = cache_value(cache, "wena_SOURCE_DIR");
        if (!sources.empty())
            return join(reachable(sources, program), "docs/board.md");
        std::string package = cache_value(cache, "wena_DIR");  // PREFIX/lib/cmake/wena
        if (!package.empty())
            return join(parent(parent(parent(reachable(package, program)))), installed_doc);
        return "";
    }
    return "";
}

std::string sim_help_line()
{
    std::string program = plat_executable_path();
    if (!program.empty()) {
        std::string prefix = installed_prefix(parent(program));
        if (!prefix.empty() && readable(join(prefix, installed_doc)))
            return "Help: " + join(prefix, installed_doc);
        std::string in_tree = build_tree_help(program);
        if (readable(in_tree))
            return "Help: " + in_tree;
    }
#ifndef _WIN32
    // A program of the student's own, built against an installed copy.
    for (const char *path : {WENA_HELP_INSTALLED, "/usr/share/doc/wena/docs/board.md"})
        if (readable(path))
            return std::string("Help: ") + path;
#endif
    return "Help: docs/board.md in the wena sources, share/doc/wena/docs/board.md installed";
}
