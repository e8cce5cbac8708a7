#include "tests/support/cp932_text.h"

#include <stdexcept>

#ifdef _WIN32
#include <windows.h>

std::string cp932(const char *utf8)
{
    std::wstring wide(MultiByteToWideChar(CP_UTF8, 0, utf8, -1, nullptr, 0), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8, -1, wide.data(), (int)wide.size());
    std::string bytes(WideCharToMultiByte(932, 0, wide.c_str(), -1, nullptr, 0, nullptr, nullptr), '\0');
    WideCharToMultiByte(932, 0, wide.c_str(), -1, bytes.data(), (int)bytes.size(), nullptr, nullptr);
    bytes.resize(bytes.size() - 1);
    return bytes;
}
#else
#include <iconv.h>

std::string cp932(const char *utf8)
{
    iconv_t cd = iconv_open("CP932", "UTF-8");
    std::string in(utf8), out(in.size() * 2, '\0');
    char *src = in.data(), *dst = out.data();
    size_t src_left = in.size(), dst_left = out.size();
    size_t done = iconv(cd, &src, &src_left, &dst, &dst_left);
    iconv_close(cd);
    if (done == (size_t)-1)
        throw std::runtime_error(std::string("no code page 932 form: ") + utf8);
    out.resize(out.size() - dst_left);
    return out;
}
#endif
