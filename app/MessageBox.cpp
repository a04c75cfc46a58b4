#include "MessageBox.h"

#include <algorithm>
#include <array>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "BaseWindow.h"
#include "DialogKeys.h"
#include "Handles.h"
#include "Clipboard.h"
#include "MessageBoxLayout.h"
#include "WideText.h"

namespace kartovo {
namespace {

struct Look {
    const wchar_t* caption;
    LPCWSTR icon;
    UINT sound;
};

Look LookOf(MessageKind kind) {
    switch (kind) {
        case MessageKind::Information: return {L"情報", IDI_ASTERISK, MB_ICONASTERISK};
        case MessageKind::Confirmation: return {L"確認", IDI_QUESTION, MB_ICONQUESTION};
        case MessageKind::Warning: return {L"警告", IDI_EXCLAMATION, MB_ICONEXCLAMATION};
        case MessageKind::Error: break;
    }
    return {L"エラー", IDI_HAND, MB_ICONHAND};
}

struct Choice {
    int result;  // also the button's control ID
    const wchar_t* caption;
};

// A set of buttons, left to right, with what Enter chooses at first (the
// default button) and what Escape chooses.
struct ButtonSet {
    std::array<Choice, 2> row;
    std::size_t count;
    int enterResult;
    int escapeResult;
};

constexpr Choice kYes{kResultYes, L"はい(&Y)"};
constexpr Choice kNo{kResultNo, L"いいえ(&N)"};
constexpr Choice kOk{kResultOk, L"OK"};
constexpr ButtonSet kOkSet{{kOk}, 1, kResultOk, kResultOk};
constexpr ButtonSet kYesNoSet{{kYes, kNo}, 2, kResultYes, kResultNo};

const ButtonSet& SetOf(MessageButtons buttons) { return buttons == MessageButtons::YesNo ? kYesNoSet : kOkSet; }

// Disables the visible, enabled top-level windows of this thread for as
// long as it lives, and enables just those again.
class ThreadWindowsDisabled {
public:
    explicit ThreadWindowsDisabled(HWND except) : except_(except) {
        EnumThreadWindows(GetCurrentThreadId(), &Collect, reinterpret_cast<LPARAM>(this));
        for (HWND window : disabled_) EnableWindow(window, FALSE);
    }
    ~ThreadWindowsDisabled() { Restore(); }
    ThreadWindowsDisabled(const ThreadWindowsDisabled&) = delete;
    ThreadWindowsDisabled& operator=(const ThreadWindowsDisabled&) = delete;

    void Restore() {
        for (auto it = disabled_.rbegin(); it != disabled_.rend(); ++it) {
            if (IsWindow(*it)) EnableWindow(*it, TRUE);
        }
        disabled_.clear();
    }

private:
    static BOOL CALLBACK Collect(HWND window, LPARAM self) {
        auto* that = reinterpret_cast<ThreadWindowsDisabled*>(self);
        if (window == that->except_ || !IsWindowVisible(window) || !IsWindowEnabled(window)) return TRUE;
        try {
            that->disabled_.push_back(window);
            return TRUE;
        } catch (...) {
            return FALSE;  // out of memory: a box over some usable windows beats none
        }
    }

    HWND except_;
    std::vector<HWND> disabled_;
};

constexpr wchar_t kClassName[] = L"KartovoMessageBox";
static_assert(std::wstring_view(kClassName) == kMessageBoxClass);
constexpr DWORD kStyle = WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
constexpr DWORD kExStyle = WS_EX_DLGMODALFRAME;

// Ctrl+C, and no Alt with it, in the box or one of its buttons.
bool IsCopyKey(const MSG& message, HWND box) {
    return message.message == WM_KEYDOWN && message.wParam == 'C' && GetKeyState(VK_CONTROL) < 0 &&
           GetKeyState(VK_MENU) >= 0 && (message.hwnd == box || IsChild(box, message.hwnd));
}

class Box : public win::BaseWindow<Box> {
public:
    Box(MessageKind kind, MessageButtons buttons)
        : look_(LookOf(kind)), set_(SetOf(buttons)), defaultId_(set_.enterResult) {}
    ~Box() {
        if (Handle() != nullptr) DestroyWindow(Handle());
    }
    Box(const Box&) = delete;
    Box& operator=(const Box&) = delete;

    int Show(HWND owner, std::wstring_view text) {
        try {
            text_ = text;
            Create(owner, text);
        } catch (...) {
            return kResultCancel;  // no box could be made: as if it were closed
        }
        // A window of this thread holding the mouse would still get its
        // clicks while disabled.
        if (GetCapture() != nullptr) ReleaseCapture();
        const HWND previousActive = GetActiveWindow();
        std::optional<WPARAM> quit;
        {
            ThreadWindowsDisabled disabled(Handle());
            ShowWindow(Handle(), SW_SHOW);
            SetForegroundWindow(Handle());
            MessageBeep(look_.sound);
            quit = RunLoop();
            // Enabled again before the box goes, activation returns to this
            // program's window instead of to some other program's.
            disabled.Restore();
            if (previousActive != nullptr && IsWindow(previousActive)) SetActiveWindow(previousActive);
        }
        if (Handle() != nullptr) DestroyWindow(Handle());
        if (quit) PostQuitMessage(static_cast<int>(*quit));
        return result_;
    }

private:
    friend class win::BaseWindow<Box>;

    std::span<const Choice> Row() const { return {set_.row.data(), set_.count}; }

    void Create(HWND owner, std::wstring_view text) {
        win::RegisterWindowClass(kClassName, &WindowProc, reinterpret_cast<HBRUSH>(COLOR_3DFACE + 1));
        font_ = MessageFont();
        const HMONITOR monitor = MonitorFromWindow(owner, MONITOR_DEFAULTTOPRIMARY);
        MONITORINFO info{};
        info.cbSize = sizeof(info);
        RECT screen{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
        if (GetMonitorInfoW(monitor, &info)) screen = info.rcMonitor;
        const int screenWidth = screen.right - screen.left;
        const int screenHeight = screen.bottom - screen.top;
        std::vector<const wchar_t*> captions;
        for (const Choice& choice : Row()) captions.push_back(choice.caption);
        const MessageBoxLayout layout = LayOutMessageBox(font_.get(), text, captions, screenWidth / 2);

        RECT frame{0, 0, layout.client.cx, layout.client.cy};
        AdjustWindowRectEx(&frame, kStyle, FALSE, kExStyle);
        const int width = frame.right - frame.left;
        const int height = frame.bottom - frame.top;
        const int x = screen.left + (screenWidth - width) / 2;
        const int y = std::max(static_cast<int>(screen.top), static_cast<int>(screen.top) + (screenHeight - height) / 2);
        BaseWindow::Create(kExStyle, kClassName, look_.caption, kStyle, RECT{x, y, x + width, y + height}, owner);
        AddParts(layout);
    }

    void AddParts(const MessageBoxLayout& layout) {
        const HWND icon = AddChild(L"STATIC", nullptr, SS_ICON, layout.icon, kMessageBoxIconId);
        SendMessageW(icon, STM_SETICON, reinterpret_cast<WPARAM>(LoadIconW(nullptr, look_.icon)), 0);
        // STM_SETICON sizes the control to the icon's own size.
        MoveWindow(icon, layout.icon.left, layout.icon.top, layout.icon.right - layout.icon.left,
                   layout.icon.bottom - layout.icon.top, FALSE);
        AddChild(L"STATIC", layout.text.c_str(), SS_LEFT | SS_NOPREFIX, layout.textRect, kMessageBoxTextId);
        for (std::size_t i = 0; i < set_.count; ++i) {
            const DWORD group = i == 0 ? WS_GROUP : 0;
            const DWORD type = set_.row[i].result == defaultId_ ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON;
            AddChild(L"BUTTON", set_.row[i].caption, WS_TABSTOP | group | type | BS_NOTIFY, layout.buttons[i],
                     set_.row[i].result);
        }
        dialogKeys_.SetFocusTarget(GetDlgItem(Handle(), defaultId_));
    }

    HWND AddChild(const wchar_t* className, const wchar_t* text, DWORD style, const RECT& rect, int id) {
        const HWND child = CreateWindowExW(0, className, text, WS_CHILD | WS_VISIBLE | style, rect.left, rect.top,
                                           rect.right - rect.left, rect.bottom - rect.top, Handle(),
                                           reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), win::Instance(), nullptr);
        SendMessageW(child, WM_SETFONT, reinterpret_cast<WPARAM>(font_.get()), FALSE);
        return child;
    }

    // Returns the WM_QUIT's exit code if one ended the box.
    std::optional<WPARAM> RunLoop() {
        MSG message{};
        while (!ended_) {
            const BOOL got = GetMessageW(&message, nullptr, 0, 0);
            if (got == 0) {
                End(kResultCancel);
                return message.wParam;
            }
            if (got == -1) {
                End(kResultCancel);
                break;
            }
            if (Handle() != nullptr && IsCopyKey(message, Handle())) {
                SendMessageW(Handle(), WM_COPY, 0, 0);
                continue;
            }
            if (Handle() == nullptr || !IsDialogMessageW(Handle(), &message)) {
                TranslateMessage(&message);
                DispatchMessageW(&message);
            }
        }
        return std::nullopt;
    }

    void End(int result) {
        if (ended_) return;
        ended_ = true;
        result_ = result;
        // Wakes the loop if the end came from a sent message, with nothing
        // posted behind it.
        if (Handle() != nullptr) PostMessageW(Handle(), WM_NULL, 0, 0);
    }

    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
        if (dialogKeys_.Handle(Handle(), message, wParam, lParam)) return 0;
        switch (message) {
            case WM_COMMAND:
                OnCommand(LOWORD(wParam), HIWORD(wParam));
                return 0;
            case DM_GETDEFID:
                // IsDialogMessageW asks this window, not a dialog manager,
                // which button Enter presses.
                return MAKELRESULT(defaultId_, DC_HASDEFID);
            case WM_CLOSE:  // the title bar's close button, Alt+F4
                End(kResultCancel);
                return 0;
            case WM_COPY:
                CopyToClipboard(Handle(), CopiedText());
                return 0;
            default:
                return Default(message, wParam, lParam);
        }
    }

    // What Windows' own boxes put on the clipboard: the caption, the text
    // and the buttons (access keys without their "&"), between rules.
    std::wstring CopiedText() const {
        static constexpr std::wstring_view kRule = L"---------------------------\r\n";
        std::wstring copied(kRule);
        copied.append(look_.caption).append(L"\r\n").append(kRule);
        for (const wchar_t c : text_) {
            if (c == L'\n') copied.push_back(L'\r');
            copied.push_back(c);
        }
        copied.append(L"\r\n").append(kRule);
        for (const Choice& choice : Row()) {
            for (const wchar_t* c = choice.caption; *c != L'\0'; ++c) {
                if (*c != L'&') copied.push_back(*c);
            }
            copied.append(L"   ");
        }
        copied.append(L"\r\n").append(kRule);
        return copied;
    }

    void OnFailure() { End(kResultCancel); }
    void OnDestroyed() noexcept { End(kResultCancel); }

    void OnCommand(int id, int code) {
        if (code == BN_SETFOCUS) {
            // Enter presses the focused button, as in a dialog, and the
            // default frame moves with it.
            defaultId_ = id;
            for (const Choice& choice : Row()) {
                const DWORD type = choice.result == id ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON;
                SendMessageW(GetDlgItem(Handle(), choice.result), BM_SETSTYLE, type | BS_NOTIFY, TRUE);
            }
            return;
        }
        if (code != BN_CLICKED) return;
        const auto row = Row();
        if (std::any_of(row.begin(), row.end(), [id](const Choice& choice) { return choice.result == id; })) {
            return End(id);
        }
        if (id == IDCANCEL) return End(set_.escapeResult);
        if (id == IDOK) return End(defaultId_);
    }

    Look look_;
    std::wstring text_;
    const ButtonSet& set_;
    int defaultId_;
    win::DialogKeys dialogKeys_;
    win::Font font_;
    bool ended_ = false;
    int result_ = kResultCancel;
};

}  // namespace

int ShowMessageBox(HWND owner, MessageKind kind, std::string_view cp932Text, MessageButtons buttons) {
    return ShowMessageBox(owner, kind, win::Cp932ToWide(cp932Text), buttons);
}

int ShowMessageBox(HWND owner, MessageKind kind, std::wstring_view text, MessageButtons buttons) {
    Box box(kind, buttons);
    return box.Show(owner, text);
}

}  // namespace kartovo
