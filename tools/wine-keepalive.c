/* Holds a Wine session open for a batch of test runs.
 *
 * While this process lives, the wineserver, the services it started and the
 * desktop process stay up, so each test .exe attaches to them in a few
 * milliseconds instead of booting them again. Started by
 * scripts/test-windows.sh with its output on /dev/null: anything Wine spawns
 * from here inherits that, and never a test's pipe, which ctest would
 * otherwise wait on until the whole run ends.
 *
 * Usage: wine-keepalive.exe [READY_FILE]
 * READY_FILE may also come from KARTOVO_KEEPALIVE_READY. It is written once
 * the desktop exists, so the caller knows when the session is warm. */
#include <windows.h>

static const wchar_t *ready_path(int argc, wchar_t **argv, wchar_t *buf, DWORD len)
{
    if (argc > 1 && argv[1][0] != L'\0')
        return argv[1];
    DWORD n = GetEnvironmentVariableW(L"KARTOVO_KEEPALIVE_READY", buf, len);
    return (n > 0 && n < len) ? buf : NULL;
}

int wmain(int argc, wchar_t **argv)
{
    /* Starts the desktop process (explorer) now, from here, rather than
     * from the first test that creates a window. */
    GetDesktopWindow();

    wchar_t buf[32768];
    const wchar_t *path = ready_path(argc, argv, buf, sizeof buf / sizeof buf[0]);
    if (path) {
        HANDLE h = CreateFileW(path, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS,
                               FILE_ATTRIBUTE_NORMAL, NULL);
        if (h == INVALID_HANDLE_VALUE)
            return 2;
        DWORD written;
        WriteFile(h, "ready\n", 6, &written, NULL);
        CloseHandle(h);
    }

    Sleep(INFINITE);
    return 0;
}
