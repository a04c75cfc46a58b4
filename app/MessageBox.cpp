#include "MessageBox.h"

#include <algorithm>
#include <initializer_list>
#include <optional>
#include <string>
#include <vector>

#include "Win32.h"

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
        case MessageKind::Error: break;
    }
    return {L"エラー", IDI_HAND, MB_ICONHAND};
}

struct Choice {
    int result;
    const wchar_t* caption;
};

// Left to right, whichever of them a box carries.
constexpr Choice kButtonOrder[] = {
    {kResultYes, L"はい(&Y)"},
    {kResultNo, L"いいえ(&N)"},
    {kResultOk, L"OK"},
    {kResultCancel, L"キャンセル"},
};

std::vector<int> ResultsOf(MessageButtons buttons) {
    if (buttons == MessageButtons::YesNo) return {kResultYes, kResultNo};
    return {kResultOk};
}

std::vector<Choice> ButtonsOf(MessageButtons buttons) {
    const std::vector<int> results = ResultsOf(buttons);
    std::vector<Choice> row;
    for (const Choice& choice : kButtonOrder) {
        if (std::find(results.begin(), results.end(), choice.result) != results.end()) row.push_back(choice);
    }
    return row;
}

// The first of `preferred` that the row carries; any row has one of the
// lists below, the fallback only guards a row made some other way.
int FirstPresent(const std::vector<Choice>& row, std::initializer_list<int> preferred) {
    for (int result : preferred) {
        for (const Choice& choice : row) {
            if (choice.result == result) return result;
        }
    }
    return row.front().result;
}

// Dialog units of the box's font, so the margins grow with the font and
// the screen's DPI the way a dialog's do.
struct DialogUnits {
    int baseX;
    int baseY;
    int X(int units) const { return MulDiv(units, baseX, 4); }
    int Y(int units) const { return MulDiv(units, baseY, 8); }
};

constexpr int kMarginX = 10;
constexpr int kMarginTop = 10;
constexpr int kIconGap = 8;
constexpr int kTextToButtons = 10;
constexpr int kMarginBottom = 7;
constexpr int kButtonHeight = 14;
constexpr int kButtonMinWidth = 50;
constexpr int kButtonPadding = 6;
constexpr int kButtonSpacing = 4;

// The flags a STATIC with SS_LEFT | SS_NOPREFIX draws with, so that the
// measured size is the drawn size.
constexpr UINT kTextFormat = DT_LEFT | DT_WORDBREAK | DT_EXPANDTABS | DT_NOPREFIX;

// A screen DC with the box's font selected, for measuring.
class MeasuringDc {
public:
    explicit MeasuringDc(HFONT font) : dc_(GetDC(nullptr)) {
        if (dc_ != nullptr && font != nullptr) old_ = SelectObject(dc_, font);
    }
    ~MeasuringDc() {
        if (old_ != nullptr) SelectObject(dc_, old_);
        if (dc_ != nullptr) ReleaseDC(nullptr, dc_);
    }
    MeasuringDc(const MeasuringDc&) = delete;
    MeasuringDc& operator=(const MeasuringDc&) = delete;
    HDC get() const { return dc_; }

private:
    HDC dc_;
    HGDIOBJ old_ = nullptr;
};

DialogUnits UnitsOf(HDC dc) {
    TEXTMETRICW metrics{};
    GetTextMetricsW(dc, &metrics);
    static constexpr wchar_t kAlphabet[] = L"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
    SIZE size{};
    GetTextExtentPoint32W(dc, kAlphabet, 52, &size);
    return {std::max(1, (static_cast<int>(size.cx) / 26 + 1) / 2), std::max(1, static_cast<int>(metrics.tmHeight))};
}

SIZE MeasureText(HDC dc, std::wstring_view text, int width) {
    RECT rect{0, 0, width, 0};
    DrawTextW(dc, text.data(), static_cast<int>(text.size()), &rect, kTextFormat | DT_CALCRECT);
    return {rect.right, rect.bottom};
}

bool IsBreakingSpace(wchar_t c) { return c == L' ' || c == L'\t' || c == L'\r' || c == L'\n'; }

// DT_WORDBREAK keeps a run it finds no break in (a long path, say) whole,
// however wide. Such runs get line breaks where they fill a line, so that no
// line is wider than `maxWidth` and no character is cut off. Runs it can
// break, such as Japanese sentences, are left to it.
std::wstring BreakOverlongRuns(HDC dc, std::wstring_view text, int maxWidth) {
    std::wstring out;
    out.reserve(text.size() + 16);
    std::size_t i = 0;
    while (i < text.size()) {
        if (IsBreakingSpace(text[i])) {
            out.push_back(text[i++]);
            continue;
        }
        std::size_t end = i;
        while (end < text.size() && !IsBreakingSpace(text[end])) ++end;
        std::wstring_view run = text.substr(i, end - i);
        i = end;
        if (MeasureText(dc, run, maxWidth).cx <= maxWidth) {
            out.append(run);
            continue;
        }
        while (!run.empty()) {
            int fit = 0;
            SIZE size{};
            const int length = static_cast<int>(run.size());
            GetTextExtentExPointW(dc, run.data(), length, maxWidth, &fit, nullptr, &size);
            fit = std::clamp(fit, 1, length);  // CP932 text has no surrogate pairs to keep together
            out.append(run.substr(0, static_cast<std::size_t>(fit)));
            run.remove_prefix(static_cast<std::size_t>(fit));
            if (!run.empty()) out.append(L"\r\n");
        }
    }
    return out;
}

win::Font MessageFont() {
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof(metrics);
    if (SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0)) {
        return win::Font(CreateFontIndirectW(&metrics.lfMessageFont));
    }
    LOGFONTW fallback{};
    GetObjectW(GetStockObject(DEFAULT_GUI_FONT), sizeof(fallback), &fallback);
    return win::Font(CreateFontIndirectW(&fallback));
}

// Where everything goes, in client coordinates of the box.
struct Layout {
    std::wstring text;  // with any line breaks added
    RECT icon;
    RECT textRect;
    std::vector<RECT> buttons;
    SIZE client;
};

Layout LayOut(HFONT font, std::wstring_view text, const std::vector<Choice>& row, int maxTextWidth) {
    MeasuringDc dc(font);
    const DialogUnits units = UnitsOf(dc.get());
    Layout layout;

    layout.text = std::wstring(text);
    SIZE textSize = MeasureText(dc.get(), layout.text, maxTextWidth);
    if (textSize.cx > maxTextWidth) {
        layout.text = BreakOverlongRuns(dc.get(), text, maxTextWidth);
        textSize = MeasureText(dc.get(), layout.text, maxTextWidth);
        textSize.cx = std::min<LONG>(textSize.cx, maxTextWidth);
    }

    const int iconWidth = GetSystemMetrics(SM_CXICON);
    const int iconHeight = GetSystemMetrics(SM_CYICON);
    const int left = units.X(kMarginX);
    const int top = units.Y(kMarginTop);
    layout.icon = {left, top, left + iconWidth, top + iconHeight};
    const int textLeft = layout.icon.right + units.X(kIconGap);
    const int textTop = top + std::max(0, (iconHeight - static_cast<int>(textSize.cy)) / 2);
    layout.textRect = {textLeft, textTop, textLeft + textSize.cx, textTop + textSize.cy};

    int buttonWidth = units.X(kButtonMinWidth);
    for (const Choice& choice : row) {
        RECT caption{};
        DrawTextW(dc.get(), choice.caption, -1, &caption, DT_CALCRECT | DT_SINGLELINE);
        buttonWidth = std::max(buttonWidth, static_cast<int>(caption.right) + 2 * units.X(kButtonPadding));
    }
    const int buttonHeight = units.Y(kButtonHeight);
    const int spacing = units.X(kButtonSpacing);
    const int count = static_cast<int>(row.size());
    const int rowWidth = count * buttonWidth + (count - 1) * spacing;

    const int contentRight = static_cast<int>(layout.textRect.right) + left;
    const int clientWidth = std::max(contentRight, rowWidth + 2 * left);
    const int buttonsTop =
        static_cast<int>(std::max(layout.icon.bottom, layout.textRect.bottom)) + units.Y(kTextToButtons);
    int x = (clientWidth - rowWidth) / 2;
    for (int i = 0; i < count; ++i) {
        layout.buttons.push_back({x, buttonsTop, x + buttonWidth, buttonsTop + buttonHeight});
        x += buttonWidth + spacing;
    }
    layout.client = {clientWidth, buttonsTop + buttonHeight + units.Y(kMarginBottom)};
    return layout;
}

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

constexpr DWORD kStyle = WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
constexpr DWORD kExStyle = WS_EX_DLGMODALFRAME;

class Box {
public:
    Box(MessageKind kind, MessageButtons buttons)
        : look_(LookOf(kind)),
          row_(ButtonsOf(buttons)),
          defaultId_(FirstPresent(row_, {kResultOk, kResultYes})),
          escapeResult_(FirstPresent(row_, {kResultCancel, kResultNo, kResultOk})) {}
    ~Box() {
        if (window_ != nullptr) DestroyWindow(window_);
    }
    Box(const Box&) = delete;
    Box& operator=(const Box&) = delete;

    int Show(HWND owner, std::wstring_view text) {
        if (!Create(owner, text)) return kResultCancel;
        // A window of this thread holding the mouse would still get its
        // clicks while disabled.
        if (GetCapture() != nullptr) ReleaseCapture();
        const HWND previousActive = GetActiveWindow();
        std::optional<WPARAM> quit;
        {
            ThreadWindowsDisabled disabled(window_);
            ShowWindow(window_, SW_SHOW);
            SetForegroundWindow(window_);
            MessageBeep(look_.sound);
            quit = RunLoop();
            // Enabled again before the box goes, activation returns to this
            // program's window instead of to some other program's.
            disabled.Restore();
            if (previousActive != nullptr && IsWindow(previousActive)) SetActiveWindow(previousActive);
        }
        if (window_ != nullptr) DestroyWindow(window_);
        if (quit) PostQuitMessage(static_cast<int>(*quit));
        return result_;
    }

private:
    bool Create(HWND owner, std::wstring_view text) {
        const HINSTANCE instance = GetModuleHandleW(nullptr);
        if (!Register(instance)) return false;
        font_ = MessageFont();

        const HMONITOR monitor = MonitorFromWindow(owner, MONITOR_DEFAULTTOPRIMARY);
        MONITORINFO info{};
        info.cbSize = sizeof(info);
        RECT screen{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
        if (GetMonitorInfoW(monitor, &info)) screen = info.rcMonitor;
        const int screenWidth = screen.right - screen.left;
        const int screenHeight = screen.bottom - screen.top;
        const Layout layout = LayOut(font_.get(), text, row_, screenWidth / 2);

        RECT frame{0, 0, layout.client.cx, layout.client.cy};
        AdjustWindowRectEx(&frame, kStyle, FALSE, kExStyle);
        const int width = frame.right - frame.left;
        const int height = frame.bottom - frame.top;
        const int x = screen.left + (screenWidth - width) / 2;
        const int y = std::max(static_cast<int>(screen.top), static_cast<int>(screen.top) + (screenHeight - height) / 2);

        CreateWindowExW(kExStyle, kMessageBoxClass, look_.caption, kStyle, x, y, width, height, owner, nullptr,
                        instance, this);
        if (window_ == nullptr) return false;

        const HWND icon = AddChild(L"STATIC", nullptr, SS_ICON, layout.icon, kMessageBoxIconId);
        SendMessageW(icon, STM_SETICON, reinterpret_cast<WPARAM>(LoadIconW(nullptr, look_.icon)), 0);
        // STM_SETICON sizes the control to the icon's own size.
        MoveWindow(icon, layout.icon.left, layout.icon.top, layout.icon.right - layout.icon.left,
                   layout.icon.bottom - layout.icon.top, FALSE);
        AddChild(L"STATIC", layout.text.c_str(), SS_LEFT | SS_NOPREFIX, layout.textRect, kMessageBoxTextId);
        for (std::size_t i = 0; i < row_.size(); ++i) {
            const DWORD group = i == 0 ? WS_GROUP : 0;
            const DWORD type = row_[i].result == defaultId_ ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON;
            AddChild(L"BUTTON", row_[i].caption, WS_TABSTOP | group | type | BS_NOTIFY, layout.buttons[i],
                     row_[i].result);
        }
        focus_ = GetDlgItem(window_, defaultId_);
        return true;
    }

    HWND AddChild(const wchar_t* className, const wchar_t* text, DWORD style, const RECT& rect, int id) {
        const HWND child = CreateWindowExW(0, className, text, WS_CHILD | WS_VISIBLE | style, rect.left, rect.top,
                                           rect.right - rect.left, rect.bottom - rect.top, window_,
                                           reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                                           GetModuleHandleW(nullptr), nullptr);
        SendMessageW(child, WM_SETFONT, reinterpret_cast<WPARAM>(font_.get()), FALSE);
        return child;
    }

    static bool Register(HINSTANCE instance) {
        WNDCLASSEXW windowClass{};
        windowClass.cbSize = sizeof(windowClass);
        if (GetClassInfoExW(instance, kMessageBoxClass, &windowClass)) return true;
        windowClass.lpfnWndProc = &Box::WindowProc;
        windowClass.hInstance = instance;
        windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
        windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_3DFACE + 1);
        windowClass.lpszClassName = kMessageBoxClass;
        return RegisterClassExW(&windowClass) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
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
            if (window_ == nullptr || !IsDialogMessageW(window_, &message)) {
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
        if (window_ != nullptr) PostMessageW(window_, WM_NULL, 0, 0);
    }

    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
        Box* box = nullptr;
        if (message == WM_NCCREATE) {
            box = static_cast<Box*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
            box->window_ = window;
            SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(box));
        } else {
            box = reinterpret_cast<Box*>(GetWindowLongPtrW(window, GWLP_USERDATA));
        }
        if (box == nullptr) return DefWindowProcW(window, message, wParam, lParam);
        try {
            return box->HandleMessage(window, message, wParam, lParam);
        } catch (...) {
            box->End(kResultCancel);
            return 0;
        }
    }

    LRESULT HandleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
        switch (message) {
            case WM_COMMAND:
                OnCommand(LOWORD(wParam), HIWORD(wParam));
                return 0;
            case WM_NEXTDLGCTL:
                // IsDialogMessageW sends this for the arrow keys; only the
                // dialog manager would otherwise move the focus.
                MoveFocus(wParam, LOWORD(lParam) != 0);
                return 0;
            case DM_GETDEFID:
                // IsDialogMessageW asks this window, not a dialog manager,
                // which button Enter presses.
                return MAKELRESULT(defaultId_, DC_HASDEFID);
            case WM_ACTIVATE:
                if (LOWORD(wParam) == WA_INACTIVE) {
                    const HWND focus = GetFocus();
                    if (focus != nullptr && IsChild(window_, focus)) focus_ = focus;
                    break;
                }
                if (focus_ != nullptr) {
                    SetFocus(focus_);
                    return 0;
                }
                break;
            case WM_CLOSE:
                End(kResultCancel);
                return 0;
            case WM_NCDESTROY:
                SetWindowLongPtrW(window, GWLP_USERDATA, 0);
                window_ = nullptr;
                End(kResultCancel);
                break;
            default:
                break;
        }
        return DefWindowProcW(window, message, wParam, lParam);
    }

    void MoveFocus(WPARAM target, bool isWindow) {
        const HWND next = isWindow ? reinterpret_cast<HWND>(target)
                                   : GetNextDlgTabItem(window_, GetFocus(), target != 0 ? TRUE : FALSE);
        if (next != nullptr && IsChild(window_, next)) SetFocus(next);
    }

    void OnCommand(int id, int code) {
        if (code == BN_SETFOCUS) {
            // Enter presses the focused button, as in a dialog, and the
            // default frame moves with it.
            defaultId_ = id;
            for (const Choice& choice : row_) {
                const DWORD type = choice.result == id ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON;
                SendMessageW(GetDlgItem(window_, choice.result), BM_SETSTYLE, type | BS_NOTIFY, TRUE);
            }
            return;
        }
        if (code != BN_CLICKED) return;
        for (const Choice& choice : row_) {
            if (choice.result == id) return End(id);
        }
        if (id == IDCANCEL) return End(escapeResult_);
        if (id == IDOK) return End(defaultId_);
    }

    Look look_;
    std::vector<Choice> row_;
    int defaultId_;
    int escapeResult_;
    win::Font font_;
    HWND window_ = nullptr;
    HWND focus_ = nullptr;
    bool ended_ = false;
    int result_ = kResultCancel;
};

}  // namespace

int ShowMessageBox(HWND owner, MessageKind kind, std::string_view cp932Text, MessageButtons buttons) {
    Box box(kind, buttons);
    return box.Show(owner, win::Cp932ToWide(cp932Text));
}

}  // namespace kartovo
