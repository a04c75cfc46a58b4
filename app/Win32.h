#pragma once
// Small owners for Win32 handles and the CP932 <-> UTF-16 conversions the
// window needs. Every text the window shows goes through the wide API,
// converted with code page 932 named explicitly, so it reads right on a
// Windows set to any language.

#include <windows.h>

#include <string>
#include <string_view>
#include <utility>

namespace kartovo::win {

std::wstring Cp932ToWide(std::string_view cp932);
std::wstring Utf8ToWide(std::string_view utf8);

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

// Owns an icon made with CreateIcon* / LoadImage without LR_SHARED.
class Icon {
public:
    Icon() = default;
    explicit Icon(HICON icon) : icon_(icon) {}
    ~Icon() {
        if (icon_ != nullptr) DestroyIcon(icon_);
    }
    Icon(const Icon&) = delete;
    Icon& operator=(const Icon&) = delete;
    HICON get() const { return icon_; }

private:
    HICON icon_ = nullptr;
};

// The text of a window, whole.
std::wstring WindowText(HWND window);

}  // namespace kartovo::win
