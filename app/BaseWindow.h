#pragma once
// A window that is a C++ object, as in the classic BaseWindow<T>: the object
// is found from the window on WM_NCCREATE and forgotten on WM_NCDESTROY, and
// Derived::HandleMessage, a short switch calling one handler per message,
// sees every message between.
//
// No failure leaves the window procedure. A failure in WM_CREATE makes the
// creation fail and is thrown again by Create; any other calls
// Derived::OnFailure inside the catch block. Derived::OnDestroyed (which
// must not throw) hears of WM_NCDESTROY, once the window is forgotten.

#include <windows.h>

#include <exception>
#include <stdexcept>
#include <utility>

namespace kartovo::win {

HINSTANCE Instance();

// Registers a window class of this program once; later calls find it
// registered. Throws when the system refuses.
void RegisterWindowClass(const wchar_t* name, WNDPROC procedure, HBRUSH background = nullptr,
                         const wchar_t* icon = nullptr);

template <typename Derived>
class BaseWindow {
public:
    HWND Handle() const { return window_; }

protected:
    BaseWindow() = default;
    ~BaseWindow() = default;
    BaseWindow(const BaseWindow&) = delete;
    BaseWindow& operator=(const BaseWindow&) = delete;

    void Create(DWORD exStyle, const wchar_t* className, const wchar_t* caption, DWORD style, const RECT& frame,
                HWND owner) {
        createFailure_ = nullptr;
        const HWND made = CreateWindowExW(exStyle, className, caption, style, frame.left, frame.top,
                                          frame.right - frame.left, frame.bottom - frame.top, owner, nullptr,
                                          Instance(), this);
        if (createFailure_ != nullptr) std::rethrow_exception(std::exchange(createFailure_, nullptr));
        if (made == nullptr) throw std::runtime_error("CreateWindowExW failed");
    }

    LRESULT Default(UINT message, WPARAM wParam, LPARAM lParam) {
        return DefWindowProcW(window_, message, wParam, lParam);
    }

    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
        if (message == WM_NCCREATE) {
            auto* self = static_cast<BaseWindow*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
            self->window_ = window;
            SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
        }
        auto* self = reinterpret_cast<BaseWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
        if (self == nullptr) return DefWindowProcW(window, message, wParam, lParam);
        auto* derived = static_cast<Derived*>(self);
        if (message == WM_NCDESTROY) {
            SetWindowLongPtrW(window, GWLP_USERDATA, 0);
            self->window_ = nullptr;
            derived->OnDestroyed();
            return DefWindowProcW(window, message, wParam, lParam);
        }
        try {
            return derived->HandleMessage(message, wParam, lParam);
        } catch (...) {
            if (message == WM_CREATE) {
                self->createFailure_ = std::current_exception();
                return -1;
            }
            derived->OnFailure();
            return 0;
        }
    }

private:
    HWND window_ = nullptr;
    std::exception_ptr createFailure_;
};

}  // namespace kartovo::win
