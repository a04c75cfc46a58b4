#pragma once
// Drives a modal window from inside its own message loop, for in-process
// GUI tests. A thread timer with a TIMERPROC is used because every modal
// loop (DialogBox's, the message box's, GetOpenFileNameW's) dispatches it,
// and it sees only this thread's windows, also under ctest -j.

#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <vector>

namespace kartovo::test {

// How long a modal window may take to appear, and to close after `act`.
inline constexpr std::chrono::seconds kModalTimeout{5};

// Calls show(), which opens a modal window of this thread and returns when
// it closes, and returns what show() returned. Meanwhile, every 10 ms, a
// timer looks for a visible, enabled top-level window of this thread that
// was not visible when RunWithModal began, and calls act(modal) once with
// the first it finds. act may check the window with EXPECT_*, then click,
// post keys or close it; it may call RunWithModal itself for a window that
// it opens.
//
// So that a test fails instead of hanging: a window still open
// kModalTimeout after act is destroyed; if none appears within
// kModalTimeout, a WM_QUIT is posted to end the modal loop (and removed
// again when show() returns). Both record a test failure, as does show()
// returning without any window having appeared.
inline int RunWithModal(const std::function<int()>& show, const std::function<void(HWND modal)>& act);

// The same for several modal windows that show() opens one after another
// (a question, then the message that follows the answer): each new window
// gets the next action, once the one before has closed.
inline int RunWithModals(const std::function<int()>& show, const std::vector<std::function<void(HWND modal)>>& acts);

namespace detail {

struct ModalDriver {
    const std::vector<std::function<void(HWND)>>* acts;
    std::size_t next = 0;
    std::vector<HWND> visibleBefore;  // and the windows already acted on
    UINT_PTR timer = 0;
    std::chrono::steady_clock::time_point deadline;
    HWND modal = nullptr;
    bool postedQuit = false;
    ModalDriver* outer = nullptr;
};

inline thread_local ModalDriver* innermostDriver = nullptr;

inline std::vector<HWND> VisibleWindowsOfThisThread() {
    std::vector<HWND> windows;
    EnumThreadWindows(
        GetCurrentThreadId(),
        [](HWND window, LPARAM list) -> BOOL {
            try {
                if (IsWindowVisible(window) && IsWindowEnabled(window)) {
                    reinterpret_cast<std::vector<HWND>*>(list)->push_back(window);
                }
                return TRUE;
            } catch (...) {
                return FALSE;
            }
        },
        reinterpret_cast<LPARAM>(&windows));
    return windows;
}

inline void Tick(ModalDriver& driver) {
    const auto now = std::chrono::steady_clock::now();
    if (driver.modal != nullptr && !IsWindowVisible(driver.modal) && driver.next < driver.acts->size()) {
        driver.modal = nullptr;  // closed: wait for the next one
        driver.deadline = now + kModalTimeout;
    }
    if (driver.modal == nullptr) {
        for (HWND window : VisibleWindowsOfThisThread()) {
            const auto& before = driver.visibleBefore;
            if (std::find(before.begin(), before.end(), window) != before.end()) continue;
            driver.modal = window;
            driver.visibleBefore.push_back(window);
            driver.deadline = now + kModalTimeout;
            (*driver.acts)[driver.next++](window);
            return;
        }
        if (!driver.postedQuit && now > driver.deadline) {
            ADD_FAILURE() << "no modal window appeared";
            driver.postedQuit = true;
            PostQuitMessage(0);
        }
    } else if (IsWindow(driver.modal) && now > driver.deadline) {
        ADD_FAILURE() << "the modal window was still open " << kModalTimeout.count() << " s after acting on it";
        DestroyWindow(driver.modal);
    }
}

inline void CALLBACK OnTimer(HWND, UINT, UINT_PTR id, DWORD) {
    try {
        for (ModalDriver* driver = innermostDriver; driver != nullptr; driver = driver->outer) {
            if (driver->timer == id) return Tick(*driver);
        }
    } catch (const std::exception& e) {
        ADD_FAILURE() << "exception while driving a modal window: " << e.what();
    } catch (...) {
        ADD_FAILURE() << "exception while driving a modal window";
    }
}

}  // namespace detail

inline int RunWithModal(const std::function<int()>& show, const std::function<void(HWND modal)>& act) {
    return RunWithModals(show, {act});
}

inline int RunWithModals(const std::function<int()>& show, const std::vector<std::function<void(HWND modal)>>& acts) {
    detail::ModalDriver driver;
    driver.acts = &acts;
    driver.visibleBefore = detail::VisibleWindowsOfThisThread();
    driver.deadline = std::chrono::steady_clock::now() + kModalTimeout;
    driver.outer = detail::innermostDriver;
    driver.timer = SetTimer(nullptr, 0, 10, &detail::OnTimer);
    if (driver.timer == 0) {
        ADD_FAILURE() << "SetTimer failed: " << GetLastError();
        return 0;
    }
    struct Unregister {
        detail::ModalDriver& driver;
        ~Unregister() {
            KillTimer(nullptr, driver.timer);
            detail::innermostDriver = driver.outer;
            MSG quit;
            if (driver.postedQuit) PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE);
        }
    } unregister{driver};
    detail::innermostDriver = &driver;

    const int result = show();
    if (driver.next < acts.size() && !driver.postedQuit) {
        ADD_FAILURE() << "show() returned after " << driver.next << " of " << acts.size() << " modal windows";
    }
    return result;
}

}  // namespace kartovo::test
