// Windows paths: the DLL's own folder and \\.\COMn devices.
#include "platform/Paths.h"

#include <windows.h>

namespace vek {

std::string ModuleFolder()
{
    // The module holding this code: the DLL, not the host's executable.
    HMODULE module = nullptr;
    const DWORD flags = GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT;
    if (!GetModuleHandleExA(flags, reinterpret_cast<LPCSTR>(&ModuleFolder), &module))
        return ".\\";
    char path[MAX_PATH];
    const DWORD n = GetModuleFileNameA(module, path, sizeof(path));
    if (n == 0 || n >= sizeof(path))
        return ".\\";
    const std::string file(path, n);
    const size_t slash = file.find_last_of("\\/");
    return slash == std::string::npos ? ".\\" : file.substr(0, slash + 1);
}

// The \\.\ form reaches COM10 and above as well.
std::string DefaultPortDevice(int port) { return "\\\\.\\COM" + std::to_string(port); }

char PathSeparator() { return '\\'; }

} // namespace vek
