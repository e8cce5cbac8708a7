// Windows environment: kept in UTF-16, while getenv gives it in the system's
// code page, where a name such as テスト\run.scn may become question marks.
#include "platform/platform.h"
#include "platform/windows/console_state.h"

#include <map>
#include <string>
#include <windows.h>

const char *plat_getenv(const char *name)
{
    static std::map<std::string, std::string> values;
    std::wstring wide_name = widen(name);
    SetLastError(ERROR_SUCCESS);  // an empty value also gives 0
    DWORD n = GetEnvironmentVariableW(wide_name.c_str(), nullptr, 0);
    if (n == 0)
        return GetLastError() == ERROR_ENVVAR_NOT_FOUND ? nullptr : "";
    std::wstring value(n, L'\0');
    n = GetEnvironmentVariableW(wide_name.c_str(), value.data(), n);
    value.resize(n);
    std::string &kept = values[name];
    if (kept != narrow(value))
        kept = narrow(value);
    return kept.c_str();
}
