// The command line as UTF-8, the encoding the engine takes paths in. On Windows the char argv
// is in the ANSI code page, which cannot hold every name (a Cyrillic folder on an English
// system), so the arguments are read from the wide command line instead; the console is set to
// show UTF-8 output. Elsewhere argv is used as it is.
#pragma once

#include <string>
#include <vector>

#ifdef _WIN32
#include <windows.h>
// After windows.h, which it needs.
#include <shellapi.h>
#endif

namespace zntool {

inline std::vector<std::string> utf8Args(int argc, char** argv) {
#ifdef _WIN32
    (void)argc;
    (void)argv;
    ::SetConsoleOutputCP(CP_UTF8);
    std::vector<std::string> out;
    int n = 0;
    wchar_t** w = ::CommandLineToArgvW(::GetCommandLineW(), &n);
    if (!w) return out;
    for (int i = 0; i < n; ++i) {
        const int len = ::WideCharToMultiByte(CP_UTF8, 0, w[i], -1, nullptr, 0, nullptr, nullptr);
        std::string s(size_t(len > 0 ? len - 1 : 0), '\0');
        if (len > 1) ::WideCharToMultiByte(CP_UTF8, 0, w[i], -1, s.data(), len, nullptr, nullptr);
        out.push_back(std::move(s));
    }
    ::LocalFree(w);
    return out;
#else
    return std::vector<std::string>(argv, argv + argc);
#endif
}

}  // namespace zntool
