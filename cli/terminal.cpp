#include "cli/terminal.h"

#ifdef _WIN32
#include <io.h>
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace veq::cli {

#ifdef _WIN32

void prepareConsole() {
    // The texts are written in the ANSI page (QString::toLocal8Bit); a console shows the OEM
    // page unless told otherwise, which would turn every accent into another letter.
    if (GetConsoleWindow() != nullptr) SetConsoleOutputCP(GetACP());
}

std::FILE* progressTerminal() {
    if (!_isatty(_fileno(stderr))) return nullptr;
    HANDLE handle = GetStdHandle(STD_ERROR_HANDLE);
    DWORD mode = 0;
    // A console (not a redirection to a file or a pipe) that moves its cursor on escape sequences.
    if (handle == INVALID_HANDLE_VALUE || !GetConsoleMode(handle, &mode)) return nullptr;
    if ((mode & ENABLE_VIRTUAL_TERMINAL_PROCESSING) == 0 &&
        !SetConsoleMode(handle, mode | ENABLE_VIRTUAL_TERMINAL_PROCESSING))
        return nullptr;
    return stderr;
}

void endWithoutUnloading(int status) {
    std::fflush(nullptr);
    TerminateProcess(GetCurrentProcess(), static_cast<UINT>(status));
}

#else

void prepareConsole() {}

std::FILE* progressTerminal() {
    return ::isatty(STDERR_FILENO) ? stderr : nullptr;
}

void endWithoutUnloading(int) {}

#endif

}  // namespace veq::cli
