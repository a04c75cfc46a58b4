#include "MessageBox.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "ModalDriver.h"
#include "TestSupport.h"
#include "WideText.h"
#include "WindowReaders.h"

namespace kartovo {
namespace {

using test::RunWithModal;
using test::Sjis;
using test::ClassOf;
using test::RectInParent;

int ShowAndAct(HWND owner, MessageKind kind, const std::string& utf8Text, MessageButtons buttons,
               const std::function<void(HWND)>& act) {
    return RunWithModal([&] { return ShowMessageBox(owner, kind, Sjis(utf8Text), buttons); }, act);
}

std::vector<HWND> ButtonsLeftToRight(HWND box) {
    std::vector<HWND> buttons;
    EnumChildWindows(
        box,
        [](HWND child, LPARAM list) -> BOOL {
            try {
                if (ClassOf(child) == L"Button") reinterpret_cast<std::vector<HWND>*>(list)->push_back(child);
                return TRUE;
            } catch (...) {
                return FALSE;
            }
        },
        reinterpret_cast<LPARAM>(&buttons));
    std::sort(buttons.begin(), buttons.end(),
              [](HWND a, HWND b) { return RectInParent(a).left < RectInParent(b).left; });
    return buttons;
}

struct Drawn {
    SIZE size;
    int lineHeight;
};

// What the control's text takes at the control's width, drawn the way a
// STATIC with SS_LEFT | SS_NOPREFIX draws it.
Drawn DrawnText(HWND control) {
    const HDC dc = GetDC(control);
    const HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0)));
    const std::wstring text = win::WindowText(control);
    const RECT bounds = RectInParent(control);
    RECT rect{0, 0, bounds.right - bounds.left, 0};
    DrawTextW(dc, text.c_str(), -1, &rect, DT_CALCRECT | DT_LEFT | DT_WORDBREAK | DT_EXPANDTABS | DT_NOPREFIX);
    TEXTMETRICW metrics{};
    GetTextMetricsW(dc, &metrics);
    SelectObject(dc, old);
    ReleaseDC(control, dc);
    return {{rect.right, rect.bottom}, metrics.tmHeight};
}

std::wstring WithoutLineBreaks(std::wstring text) {
    std::erase(text, L'\r');
    std::erase(text, L'\n');
    return text;
}

void Click(HWND box, int id) { SendMessageW(GetDlgItem(box, id), BM_CLICK, 0, 0); }

TEST(MessageBoxLook, CaptionIconTextAndButtonsFollowKindAndButtonSet) {
    struct Kind {
        MessageKind kind;
        const wchar_t* caption;
        LPCWSTR icon;
    };
    const Kind kinds[] = {
        {MessageKind::Error, L"エラー", IDI_HAND},
        {MessageKind::Information, L"情報", IDI_ASTERISK},
        {MessageKind::Confirmation, L"確認", IDI_QUESTION},
    };
    struct Set {
        MessageButtons buttons;
        std::vector<std::pair<int, std::wstring>> row;
        int focused;
    };
    const Set sets[] = {
        {MessageButtons::Ok, {{kResultOk, L"OK"}}, kResultOk},
        {MessageButtons::YesNo, {{kResultYes, L"はい(&Y)"}, {kResultNo, L"いいえ(&N)"}}, kResultYes},
    };
    const std::string text = "出力先のファイル「住所録.csv」は既にあります。上書きしますか？";

    for (const Kind& kind : kinds) {
        for (const Set& set : sets) {
            SCOPED_TRACE(testing::Message() << "kind " << static_cast<int>(kind.kind) << ", buttons "
                                            << static_cast<int>(set.buttons));
            ShowAndAct(nullptr, kind.kind, text, set.buttons, [&](HWND box) {
                EXPECT_EQ(ClassOf(box), kMessageBoxClass);
                EXPECT_EQ(win::WindowText(box), kind.caption);
                const HWND icon = GetDlgItem(box, kMessageBoxIconId);
                EXPECT_EQ(reinterpret_cast<HICON>(SendMessageW(icon, STM_GETICON, 0, 0)),
                          LoadIconW(nullptr, kind.icon));
                const HWND label = GetDlgItem(box, kMessageBoxTextId);
                EXPECT_EQ(win::WindowText(label), win::Utf8ToWide(text));

                const std::vector<HWND> buttons = ButtonsLeftToRight(box);
                ASSERT_EQ(buttons.size(), set.row.size());
                for (std::size_t i = 0; i < buttons.size(); ++i) {
                    EXPECT_EQ(GetDlgCtrlID(buttons[i]), set.row[i].first);
                    EXPECT_EQ(win::WindowText(buttons[i]), set.row[i].second);
                    EXPECT_EQ(RectInParent(buttons[i]).right - RectInParent(buttons[i]).left,
                              RectInParent(buttons[0]).right - RectInParent(buttons[0]).left);
                    EXPECT_EQ(RectInParent(buttons[i]).top, RectInParent(buttons[0]).top);
                }
                EXPECT_EQ(GetFocus(), GetDlgItem(box, set.focused));

                RECT client{};
                GetClientRect(box, &client);
                const RECT iconRect = RectInParent(icon);
                const RECT textRect = RectInParent(label);
                const RECT first = RectInParent(buttons.front());
                const RECT last = RectInParent(buttons.back());
                EXPECT_LE(iconRect.right, textRect.left);
                EXPECT_LE(textRect.right, client.right);
                EXPECT_LE(std::max(iconRect.bottom, textRect.bottom), first.top);
                EXPECT_LE(last.bottom, client.bottom);
                EXPECT_LE(std::abs((first.left - client.left) - (client.right - last.right)), 1);

                RECT frame{};
                GetWindowRect(box, &frame);
                EXPECT_LE(std::abs((frame.left + frame.right) - GetSystemMetrics(SM_CXSCREEN)), 1);
                EXPECT_LE(std::abs((frame.top + frame.bottom) - GetSystemMetrics(SM_CYSCREEN)), 1);

                PostMessageW(box, WM_CLOSE, 0, 0);
            });
        }
    }
}

TEST(MessageBoxLook, TextWrapsWithinHalfTheScreenAndKeepsEveryCharacter) {
    const std::string english =
        "The contacts file could not be read because it does not look like a vCard export. ";
    const std::string japanese = "連絡先ファイルを読み込めませんでした。";
    const std::string longName = std::string(150, 'x') + ".vcf";
    struct Case {
        const char* name;
        std::string text;
        bool multiLine;
        bool keptAsIs;  // false: line breaks may have been added to a run with no break in it
    };
    const Case cases[] = {
        {"short", "完了しました。", false, true},
        {"English words", english + english + english + english, true, true},
        {"Japanese without spaces", japanese + japanese + japanese + japanese + japanese + japanese, true, true},
        {"one long file name", "C:\\Users\\" + longName, true, false},
        {"Japanese around a long file name", "ファイル「C:\\" + longName + "」を開けません。", true, false},
    };
    const int halfScreen = GetSystemMetrics(SM_CXSCREEN) / 2;

    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ShowAndAct(nullptr, MessageKind::Information, c.text, MessageButtons::Ok, [&](HWND box) {
            const HWND label = GetDlgItem(box, kMessageBoxTextId);
            const RECT rect = RectInParent(label);
            const Drawn drawn = DrawnText(label);
            EXPECT_LE(rect.right - rect.left, halfScreen);
            EXPECT_LE(drawn.size.cx, rect.right - rect.left);
            EXPECT_LE(drawn.size.cy, rect.bottom - rect.top);
            if (c.multiLine) {
                EXPECT_GE(rect.bottom - rect.top, 2 * drawn.lineHeight);
            } else {
                EXPECT_EQ(rect.bottom - rect.top, drawn.lineHeight);
            }
            const std::wstring shown = win::WindowText(label);
            EXPECT_EQ(c.keptAsIs ? shown : WithoutLineBreaks(shown), win::Utf8ToWide(c.text));
            Click(box, kResultOk);
        });
    }
}

// A message posted to the focused control, as the keyboard would send it,
// to the box or to a button (by its result code).
constexpr int kFocus = -1;
constexpr int kBox = 0;
constexpr LPARAM kAltDown = 1 << 29;
struct Post {
    int to;
    UINT message;
    WPARAM wParam;
    LPARAM lParam = 0;
};

TEST(MessageBoxResult, EachWayOfAnsweringGivesItsCode) {
    constexpr auto Ok = MessageButtons::Ok;
    constexpr auto YesNo = MessageButtons::YesNo;
    const Post enter{kFocus, WM_KEYDOWN, VK_RETURN};
    const Post close{kBox, WM_CLOSE, 0};
    const Post titleBarClose{kBox, WM_SYSCOMMAND, SC_CLOSE};
    const Post altF4{kFocus, WM_SYSKEYDOWN, VK_F4, kAltDown};
    struct Case {
        MessageButtons buttons;
        const char* action;
        std::vector<Post> posts;
        int expected;
    };
    const Case cases[] = {
        {Ok, "click OK", {{kResultOk, BM_CLICK, 0}}, kResultOk},
        {Ok, "Enter", {enter}, kResultOk},
        {Ok, "Escape", {{kFocus, WM_KEYDOWN, VK_ESCAPE}}, kResultOk},
        {Ok, "Tab, Enter", {{kFocus, WM_KEYDOWN, VK_TAB}, enter}, kResultOk},
        {Ok, "WM_CLOSE", {close}, kResultCancel},
        {Ok, "title-bar close", {titleBarClose}, kResultCancel},
        {Ok, "Alt+F4", {altF4}, kResultCancel},
        {YesNo, "click Yes", {{kResultYes, BM_CLICK, 0}}, kResultYes},
        {YesNo, "click No", {{kResultNo, BM_CLICK, 0}}, kResultNo},
        {YesNo, "Enter", {enter}, kResultYes},
        {YesNo, "Escape", {{kFocus, WM_KEYDOWN, VK_ESCAPE}}, kResultNo},
        {YesNo, "Tab, Enter", {{kFocus, WM_KEYDOWN, VK_TAB}, enter}, kResultNo},
        {YesNo, "Right, Enter", {{kFocus, WM_KEYDOWN, VK_RIGHT}, enter}, kResultNo},
        {YesNo, "N", {{kFocus, WM_CHAR, L'n'}}, kResultNo},
        {YesNo, "Alt+Y", {{kFocus, WM_SYSCHAR, L'y', kAltDown}}, kResultYes},
        {YesNo, "WM_CLOSE", {close}, kResultCancel},
        {YesNo, "title-bar close", {titleBarClose}, kResultCancel},
        {YesNo, "Alt+F4", {altF4}, kResultCancel},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << (c.buttons == Ok ? "OK: " : "Yes/No: ") << c.action);
        const int result = ShowAndAct(nullptr, MessageKind::Confirmation, "続けますか？", c.buttons, [&](HWND box) {
            for (const Post& post : c.posts) {
                const HWND to = post.to == kBox ? box : post.to == kFocus ? GetFocus() : GetDlgItem(box, post.to);
                EXPECT_TRUE(to == box || IsChild(box, to)) << "no such control, or no button has the focus";
                PostMessageW(to, post.message, post.wParam, post.lParam);
            }
        });
        EXPECT_EQ(result, c.expected);
    }
}

// Top-level windows made for a test, destroyed with it.
class TestWindow {
public:
    TestWindow(bool visible, bool enabled) {
        const DWORD style = WS_OVERLAPPEDWINDOW | (visible ? WS_VISIBLE : 0) | (enabled ? 0 : WS_DISABLED);
        window_ = CreateWindowExW(0, L"STATIC", L"test", style, 10, 10, 200, 100, nullptr, nullptr, nullptr, nullptr);
    }
    ~TestWindow() { DestroyWindow(window_); }
    TestWindow(const TestWindow&) = delete;
    TestWindow& operator=(const TestWindow&) = delete;
    HWND get() const { return window_; }

private:
    HWND window_;
};

TEST(MessageBoxModality, DisablesThisThreadsVisibleWindowsWhileShownAndRestoresThem) {
    struct Case {
        const char* name;
        bool visible;
        bool enabled;
        bool enabledWhileShown;
    };
    const Case cases[] = {
        {"owner", true, true, false},
        {"another window", true, true, false},
        {"hidden window", false, true, true},
        {"window disabled before", true, false, false},
    };
    std::vector<std::unique_ptr<TestWindow>> windows;
    for (const Case& c : cases) windows.push_back(std::make_unique<TestWindow>(c.visible, c.enabled));
    const HWND owner = windows[0]->get();
    SetActiveWindow(owner);
    ASSERT_EQ(GetActiveWindow(), owner);

    const int result = ShowAndAct(owner, MessageKind::Error, "失敗しました。", MessageButtons::Ok, [&](HWND box) {
        EXPECT_EQ(GetWindow(box, GW_OWNER), owner);
        EXPECT_EQ(GetActiveWindow(), box);
        for (std::size_t i = 0; i < windows.size(); ++i) {
            SCOPED_TRACE(cases[i].name);
            EXPECT_EQ(IsWindowEnabled(windows[i]->get()) != FALSE, cases[i].enabledWhileShown);
        }
        Click(box, kResultOk);
    });

    EXPECT_EQ(result, kResultOk);
    for (std::size_t i = 0; i < windows.size(); ++i) {
        SCOPED_TRACE(cases[i].name);
        EXPECT_EQ(IsWindowEnabled(windows[i]->get()) != FALSE, cases[i].enabled);
    }
    EXPECT_EQ(GetActiveWindow(), owner);
}

// Windows would otherwise hand activation to the box's owner, or with no
// owner to whichever window comes next.
TEST(MessageBoxModality, ActivationReturnsToTheWindowActiveBefore) {
    TestWindow owner(true, true);
    TestWindow active(true, true);
    for (HWND boxOwner : {owner.get(), HWND{}}) {
        SCOPED_TRACE(boxOwner != nullptr ? "owned" : "no owner");
        SetActiveWindow(active.get());
        ShowAndAct(boxOwner, MessageKind::Information, "完了しました。", MessageButtons::Ok,
                   [](HWND box) { Click(box, kResultOk); });
        EXPECT_EQ(GetActiveWindow(), active.get());
    }
}

TEST(MessageBoxModality, BoxOverABoxDisablesTheFirstUntilTheSecondCloses) {
    int inner = 0;
    const int outer =
        ShowAndAct(nullptr, MessageKind::Confirmation, "続けますか？", MessageButtons::YesNo, [&](HWND first) {
            inner = ShowAndAct(first, MessageKind::Error, "失敗しました。", MessageButtons::Ok, [&](HWND second) {
                EXPECT_NE(second, first);
                EXPECT_FALSE(IsWindowEnabled(first));
                Click(second, kResultOk);
            });
            EXPECT_TRUE(IsWindowEnabled(first));
            Click(first, kResultNo);
        });
    EXPECT_EQ(inner, kResultOk);
    EXPECT_EQ(outer, kResultNo);
}

TEST(MessageBoxModality, QuitDuringTheBoxEndsItAndIsPostedAgain) {
    const int result = ShowAndAct(nullptr, MessageKind::Confirmation, "続けますか？", MessageButtons::YesNo,
                                  [](HWND) { PostQuitMessage(42); });
    EXPECT_EQ(result, kResultCancel);
    MSG message{};
    ASSERT_TRUE(PeekMessageW(&message, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
    EXPECT_EQ(message.wParam, 42u);
}

}  // namespace
}  // namespace kartovo
