#include "Clipboard.h"

#include <cstring>

namespace kartovo {
namespace {

// The clipboard, open for as long as this lives.
class OpenClipboardScope {
public:
    explicit OpenClipboardScope(HWND owner) : open_(OpenClipboard(owner) != FALSE) {}
    ~OpenClipboardScope() {
        if (open_) CloseClipboard();
    }
    OpenClipboardScope(const OpenClipboardScope&) = delete;
    OpenClipboardScope& operator=(const OpenClipboardScope&) = delete;
    bool IsOpen() const { return open_; }

private:
    bool open_;
};

// Movable global memory, freed unless handed on: once the clipboard has
// it, the clipboard frees it.
class GlobalMemory {
public:
    explicit GlobalMemory(std::size_t bytes) : memory_(GlobalAlloc(GMEM_MOVEABLE, bytes)) {}
    ~GlobalMemory() {
        if (memory_ != nullptr) GlobalFree(memory_);
    }
    GlobalMemory(const GlobalMemory&) = delete;
    GlobalMemory& operator=(const GlobalMemory&) = delete;
    HGLOBAL get() const { return memory_; }
    void HandOn() { memory_ = nullptr; }

private:
    HGLOBAL memory_;
};

// A lock on global memory, undone on every way out.
class GlobalMemoryLock {
public:
    explicit GlobalMemoryLock(HGLOBAL memory) : memory_(memory), data_(GlobalLock(memory)) {}
    ~GlobalMemoryLock() {
        if (data_ != nullptr) GlobalUnlock(memory_);
    }
    GlobalMemoryLock(const GlobalMemoryLock&) = delete;
    GlobalMemoryLock& operator=(const GlobalMemoryLock&) = delete;
    void* data() const { return data_; }

private:
    HGLOBAL memory_;
    void* data_;
};

}  // namespace

bool CopyToClipboard(HWND owner, std::wstring_view text) {
    GlobalMemory memory((text.size() + 1) * sizeof(wchar_t));
    if (memory.get() == nullptr) return false;
    {
        const GlobalMemoryLock lock(memory.get());
        if (lock.data() == nullptr) return false;
        auto* units = static_cast<wchar_t*>(lock.data());
        std::memcpy(units, text.data(), text.size() * sizeof(wchar_t));
        units[text.size()] = L'\0';
    }
    const OpenClipboardScope clipboard(owner);
    if (!clipboard.IsOpen() || !EmptyClipboard()) return false;
    if (SetClipboardData(CF_UNICODETEXT, memory.get()) == nullptr) return false;
    memory.HandOn();
    return true;
}

}  // namespace kartovo
