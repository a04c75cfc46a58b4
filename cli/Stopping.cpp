#include "Stopping.h"

#include "FileAccess.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <csignal>
#endif

namespace kartovo {
namespace {

#ifdef _WIN32
BOOL WINAPI OnConsoleEvent(DWORD) {
    LeaveNoWorkingFile();
    return FALSE;  // the system's own handling ends the process
}
#else
extern "C" void OnStopSignal(int signal) {
    LeaveNoWorkingFile();
    // The handler was reset on entry: the process ends as the signal asked,
    // and whoever started it sees so.
    std::raise(signal);
}
#endif

}  // namespace

void LeaveNoWorkingFileWhenStopped() {
#ifdef _WIN32
    SetConsoleCtrlHandler(OnConsoleEvent, TRUE);
#else
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
        struct sigaction previous {};
        // A signal ignored by whoever started the converter (nohup, a
        // background job) stays ignored.
        if (sigaction(signal, nullptr, &previous) != 0 || previous.sa_handler == SIG_IGN) continue;
        struct sigaction action {};
        action.sa_handler = OnStopSignal;
        sigemptyset(&action.sa_mask);
        action.sa_flags = SA_RESETHAND;
        sigaction(signal, &action, nullptr);
    }
#endif
}

}  // namespace kartovo
