#pragma once
// The one home of the window code's handle owners, the window base, and the
// conversions of text for the wide API. Every text the window shows goes
// through the wide API, converted with code page 932 named explicitly, so it
// reads right on a Windows set to any language.

#include <windows.h>
// After windows.h; no WIN32_LEAN_AND_MEAN, which would hide it.
#include <shellapi.h>

#include <exception>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>

namespace kartovo::win {

std::wstring Cp932ToWide(std::string_view cp932);
std::wstring Utf8ToWide(std::string_view utf8);

// The text of a window, whole.
std::wstring WindowText(HWND window);

HINSTANCE Instance();

// Registers a window class of this program once; later calls find it
// registered. Throws when the system refuses.
void RegisterWindowClass(const wchar_t* name, WNDPROC procedure, HBRUSH background = nullptr,
                         const wchar_t* icon = nullptr);

// Owns one GDI object (font, bitmap, brush) and deletes it.
template <typename Handle>
class GdiObject {
public:
    GdiObject() = default;
    explicit GdiObject(Handle handle) : handle_(handle) {}
    ~GdiObject() { Reset(); }
    GdiObject(GdiObject&& other) noexcept : handle_(std::exchange(other.handle_, nullptr)) {}
    GdiObject& operator=(GdiObject&& other) noexcept {
        if (this != &other) {
            Reset();
            handle_ = std::exchange(other.handle_, nullptr);
        }
        return *this;
    }
    GdiObject(const GdiObject&) = delete;
    GdiObject& operator=(const GdiObject&) = delete;

    Handle get() const { return handle_; }
    void Reset(Handle handle = nullptr) {
        if (handle_ != nullptr) DeleteObject(handle_);
        handle_ = handle;
    }

private:
    Handle handle_ = nullptr;
};

using Font = GdiObject<HFONT>;
using Bitmap = GdiObject<HBITMAP>;
using Brush = GdiObject<HBRUSH>;

// A window's device context (the screen's for nullptr), released again.
class WindowDc {
public:
    explicit WindowDc(HWND window = nullptr) : window_(window), dc_(GetDC(window)) {}
    ~WindowDc() {
        if (dc_ != nullptr) ReleaseDC(window_, dc_);
    }
    WindowDc(const WindowDc&) = delete;
    WindowDc& operator=(const WindowDc&) = delete;
    HDC get() const { return dc_; }

private:
    HWND window_;
    HDC dc_;
};

// A memory device context compatible with another, deleted again.
class MemoryDc {
public:
    explicit MemoryDc(HDC compatibleWith) : dc_(CreateCompatibleDC(compatibleWith)) {}
    ~MemoryDc() {
        if (dc_ != nullptr) DeleteDC(dc_);
    }
    MemoryDc(const MemoryDc&) = delete;
    MemoryDc& operator=(const MemoryDc&) = delete;
    HDC get() const { return dc_; }

private:
    HDC dc_;
};

// An object selected into a device context for as long as this lives.
class Selected {
public:
    Selected(HDC dc, HGDIOBJ object) : dc_(dc), old_(dc != nullptr && object != nullptr ? SelectObject(dc, object) : nullptr) {}
    ~Selected() {
        if (old_ != nullptr) SelectObject(dc_, old_);
    }
    Selected(const Selected&) = delete;
    Selected& operator=(const Selected&) = delete;

private:
    HDC dc_;
    HGDIOBJ old_;
};

// A drop handle, finished on every way out.
class DropHandle {
public:
    explicit DropHandle(HDROP drop) : drop_(drop) {}
    ~DropHandle() { DragFinish(drop_); }
    DropHandle(const DropHandle&) = delete;
    DropHandle& operator=(const DropHandle&) = delete;
    HDROP get() const { return drop_; }

private:
    HDROP drop_;
};

// A window that is a C++ object: the object is found from the window on
// WM_NCCREATE and forgotten on WM_NCDESTROY, and Derived::HandleMessage, a
// short switch calling one handler per message, sees every message between.
// No failure leaves the window procedure: Derived::OnFailure is called
// inside the catch block instead, except for WM_CREATE, whose failure makes
// creation fail and is thrown again by Create. Derived::OnDestroyed (which
// must not throw) hears of WM_NCDESTROY, once the window is forgotten.
//
// The base also does what both of this program's windows do alike: it keeps
// the focused control while the window is inactive and gives it back on
// activation, and it moves the focus on WM_NEXTDLGCTL, which IsDialogMessageW
// and multi-line controls send to a window that is no dialog.
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

    // The control that gets the focus when the window is activated.
    void SetFocusTarget(HWND control) { focus_ = control; }

    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
        if (message == WM_NCCREATE) {
            auto* self = static_cast<BaseWindow*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
            self->window_ = window;
            SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
        }
        auto* self = reinterpret_cast<BaseWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
        if (self == nullptr) return DefWindowProcW(window, message, wParam, lParam);
        if (message == WM_NCDESTROY) {
            SetWindowLongPtrW(window, GWLP_USERDATA, 0);
            self->window_ = nullptr;
            self->focus_ = nullptr;
            static_cast<Derived*>(self)->OnDestroyed();
            return DefWindowProcW(window, message, wParam, lParam);
        }
        try {
            return self->Dispatch(message, wParam, lParam);
        } catch (...) {
            if (message == WM_CREATE) {
                self->createFailure_ = std::current_exception();
                return -1;
            }
            static_cast<Derived*>(self)->OnFailure();
            return 0;
        }
    }

private:
    LRESULT Dispatch(UINT message, WPARAM wParam, LPARAM lParam) {
        switch (message) {
            case WM_ACTIVATE:
                OnActivate(LOWORD(wParam), HIWORD(wParam) != 0);
                return 0;
            case WM_NEXTDLGCTL:
                OnNextDialogControl(wParam, LOWORD(lParam) != 0);
                return 0;
            default:
                return static_cast<Derived*>(this)->HandleMessage(message, wParam, lParam);
        }
    }

    void OnActivate(WORD state, bool minimized) {
        if (state == WA_INACTIVE) {
            const HWND focused = GetFocus();
            if (focused != nullptr && IsChild(window_, focused)) focus_ = focused;
        } else if (!minimized) {
            const HWND target = focus_ != nullptr ? focus_ : GetNextDlgTabItem(window_, nullptr, FALSE);
            if (target != nullptr) SetFocus(target);
        }
    }

    // wParam is the control itself when lParam's low word is set; otherwise
    // nonzero for the previous tab stop, zero for the next.
    void OnNextDialogControl(WPARAM target, bool isControl) {
        const HWND next = isControl ? reinterpret_cast<HWND>(target)
                                    : GetNextDlgTabItem(window_, GetFocus(), target != 0 ? TRUE : FALSE);
        if (next != nullptr && IsChild(window_, next)) SetFocus(next);
    }

    HWND window_ = nullptr;
    HWND focus_ = nullptr;
    std::exception_ptr createFailure_;
};

}  // namespace kartovo::win
