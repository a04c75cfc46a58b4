#include "Main.h"

#include <gtest/gtest.h>
#include <richedit.h>
#include <shlobj.h>
#include <dlgs.h>

#include <algorithm>
#include <chrono>
#include <thread>

#include "Failure.h"
#include "Layout.h"
#include "MessageBox.h"
#include "ModalDriver.h"
#include "TestSupport.h"
#include "Texts.h"
#include "Unicode.h"
#include "WideText.h"
#include "WindowReaders.h"

namespace kartovo {
namespace {

using test::ClassOf;
using test::RectInParent;

LOGFONTW FontOf(HWND window) {
    LOGFONTW font{};
    GetObjectW(reinterpret_cast<HFONT>(SendMessageW(window, WM_GETFONT, 0, 0)), sizeof font, &font);
    return font;
}

// The text height of a window's font, as it draws.
int TextHeightOf(HWND window) {
    const win::WindowDc dc(window);
    const win::Selected font(dc.get(), reinterpret_cast<HFONT>(SendMessageW(window, WM_GETFONT, 0, 0)));
    TEXTMETRICW metrics{};
    GetTextMetricsW(dc.get(), &metrics);
    return metrics.tmHeight;
}

// A real drop handle, as the shell makes it: DROPFILES followed by the
// paths, each ending in a zero, and one more zero at the end.
HDROP MakeDrop(const std::vector<std::wstring>& paths) {
    std::size_t chars = 1;
    for (const auto& path : paths) chars += path.size() + 1;
    const HGLOBAL memory = GlobalAlloc(GHND, sizeof(DROPFILES) + chars * sizeof(wchar_t));
    auto* header = static_cast<DROPFILES*>(GlobalLock(memory));
    header->pFiles = sizeof(DROPFILES);
    header->fWide = TRUE;
    auto* text = reinterpret_cast<wchar_t*>(header + 1);
    for (const auto& path : paths) {
        std::copy(path.begin(), path.end(), text);
        text += path.size() + 1;
    }
    GlobalUnlock(memory);
    return static_cast<HDROP>(memory);
}

std::wstring ChildText(HWND window, int id) { return win::WindowText(GetDlgItem(window, id)); }

// What a message box said: its caption and text.
struct Said {
    std::wstring caption, text;
    bool operator==(const Said&) const = default;
};

// A failure shows what a box said as text, not as bytes.
void PrintTo(const Said& said, std::ostream* out) {
    const auto utf8 = [](const std::wstring& text) { return Utf16ToUtf8(std::u16string(text.begin(), text.end())); };
    *out << utf8(said.caption) << ": " << utf8(said.text);
}

// Reads the program's own box (or the system's, for the error display),
// then presses the button with `id`, or closes it from the title bar when
// `id` is 0.
std::function<void(HWND)> Answer(std::vector<Said>& said, int id) {
    return [&said, id](HWND box) {
        const bool own = win::WindowText(box).size() > 0 && GetDlgItem(box, kMessageBoxTextId) != nullptr;
        said.push_back({win::WindowText(box), own ? ChildText(box, kMessageBoxTextId) : ChildText(box, 0xFFFF)});
        if (id == 0) {
            PostMessageW(box, WM_SYSCOMMAND, SC_CLOSE, 0);
        } else {
            PostMessageW(GetDlgItem(box, id), BM_CLICK, 0, 0);
        }
    };
}

// Before `act`, drops `path` on `window` as the shell does, while the
// modal window is up (and `window`, its owner, disabled); `drop` gets the
// handle, which should be finished.
std::function<void(HWND)> DroppingFirst(HWND window, const std::filesystem::path& path, HDROP& drop,
                                        std::function<void(HWND)> act) {
    return [window, path, &drop, act](HWND modal) {
        drop = MakeDrop({path.native()});
        PostMessageW(window, WM_DROPFILES, reinterpret_cast<WPARAM>(drop), 0);
        act(modal);
    };
}

// One window for each test, made as the program makes it.
class WindowTest : public ::testing::Test {
protected:
    test::TempDir dir;
    TForm1 form;
    std::vector<Said> said;

    void SetUp() override {
        form.EndsProgram = false;
        form.Create();
    }

    // The layout's pixels on this screen: the window font's text height over 16.
    int Scaled(int value) const { return MulDiv(value, TextHeightOf(form.Label3), 16); }

    HWND ControlNamed(std::string_view name) const { return GetDlgItem(form.Handle(), TForm1::ControlId(name)); }

    void Drop(const std::vector<std::wstring>& paths) {
        SendMessageW(form.Handle(), WM_DROPFILES, reinterpret_cast<WPARAM>(MakeDrop(paths)), 0);
    }
    void ChooseSource(const std::filesystem::path& source) { Drop({source.native()}); }

    void Click(HWND button, std::vector<std::function<void(HWND)>> answers) {
        test::RunWithModals(
            [&] {
                SendMessageW(button, BM_CLICK, 0, 0);
                return 0;
            },
            answers);
    }
};

TEST_F(WindowTest, WindowIsFixedCentredAndScaled) {
    const HWND window = form.Handle();
    EXPECT_EQ(win::WindowText(window), L"Kartovo");
    // A title bar with a close and a minimize button; no frame to size it by.
    const auto style = static_cast<DWORD>(GetWindowLongW(window, GWL_STYLE));
    EXPECT_EQ(style & (WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_MAXIMIZEBOX | WS_THICKFRAME),
              DWORD{WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX});
    EXPECT_EQ(GetParent(window), nullptr);
    EXPECT_EQ(GetWindow(window, GW_OWNER), nullptr);  // its own task-bar button

    // The window font follows the screen's resolution, and the layout the
    // text height that font has (with Tahoma at 96 pixels per inch, 13 of
    // 16: about four fifths).
    const win::WindowDc screen;
    const int dpi = GetDeviceCaps(screen.get(), LOGPIXELSY);
    EXPECT_EQ(FontOf(form.Label3).lfHeight, MulDiv(-13, dpi, 120));
    RECT client;
    GetClientRect(window, &client);
    EXPECT_EQ(client.right, Scaled(937));
    EXPECT_EQ(client.bottom, Scaled(656));
    if (dpi < 120) {
        EXPECT_LT(client.right, 937);
    }

    RECT frame;
    GetWindowRect(window, &frame);
    EXPECT_NEAR((frame.left + frame.right) / 2, GetSystemMetrics(SM_CXSCREEN) / 2, 1);
    EXPECT_NEAR((frame.top + frame.bottom) / 2, GetSystemMetrics(SM_CYSCREEN) / 2, 1);
}

TEST_F(WindowTest, ControlsAreOfTheirKindAndReadOnlyWhereTheyShowText) {
    // What each kind of control the layout names must be made as.
    struct Expected {
        layout::Kind kind;
        const wchar_t* className;
        DWORD styleBits;
        DWORD exStyleBits;
    };
    const Expected kinds[] = {
        {layout::Kind::Label, L"Static", SS_NOPREFIX, 0},
        {layout::Kind::Edit, L"Edit", ES_READONLY | ES_AUTOHSCROLL, WS_EX_CLIENTEDGE},
        {layout::Kind::Button, L"Button", 0, 0},
        {layout::Kind::CloseButton, L"Button", BS_OWNERDRAW, 0},
        {layout::Kind::RichEdit, L"RICHEDIT50W", ES_READONLY | ES_MULTILINE | WS_BORDER, 0},
    };
    for (const layout::Control& entry : layout::kControls) {
        SCOPED_TRACE(std::string(entry.name));
        const Expected& e = *std::find_if(std::begin(kinds), std::end(kinds),
                                          [&entry](const Expected& kind) { return kind.kind == entry.kind; });
        const HWND control = ControlNamed(entry.name);
        ASSERT_NE(control, nullptr);
        EXPECT_EQ(_wcsicmp(ClassOf(control).c_str(), e.className), 0) << ClassOf(control).c_str();
        const auto style = static_cast<DWORD>(GetWindowLongW(control, GWL_STYLE));
        EXPECT_EQ(style & e.styleBits, e.styleBits);
        EXPECT_EQ(static_cast<DWORD>(GetWindowLongW(control, GWL_EXSTYLE)) & e.exStyleBits, e.exStyleBits);
        EXPECT_EQ((style & WS_TABSTOP) != 0, entry.tabStop);
        EXPECT_FALSE(style & (WS_VSCROLL | WS_HSCROLL));
        if (entry.kind == layout::Kind::Button) {
            EXPECT_EQ(style & 0x0F, DWORD{BS_PUSHBUTTON});  // never the default button
        }
        if (entry.caption != nullptr) {
            EXPECT_EQ(win::WindowText(control), entry.caption);
        }
        if (entry.kind == layout::Kind::RichEdit) {
            // The rich edit keeps the font as its default character format.
            CHARFORMAT2W format{};
            format.cbSize = sizeof format;
            SendMessageW(control, EM_GETCHARFORMAT, SCF_DEFAULT, reinterpret_cast<LPARAM>(&format));
            EXPECT_STREQ(format.szFaceName, L"Tahoma");
            continue;
        }
        // Japanese captions in a face and character set that have Japanese.
        const LOGFONTW font = FontOf(control);
        const layout::FontStyle& wanted = entry.font.face != nullptr ? entry.font : layout::kWindowFont;
        EXPECT_STREQ(font.lfFaceName, wanted.face);
        EXPECT_EQ(font.lfCharSet, wanted.charset);
        if (entry.font.face != nullptr) {
            EXPECT_EQ(font.lfHeight, Scaled(entry.font.height));
        }
    }
}

TEST_F(WindowTest, ControlsStandInTheirRowsWithinTheWindow) {
    RECT client;
    GetClientRect(form.Handle(), &client);
    const auto rect = [&](std::string_view name) { return RectInParent(ControlNamed(name)); };
    // Each row left to right; rows top to bottom; the usage box below them.
    const std::vector<std::vector<std::string_view>> rows = {
        {"Label1", "Edit1", "Button3"}, {"Label2", "Edit2", "Button4"}, {"Button2", "Button1", "BitBtn1"}};
    for (const auto& row : rows) {
        for (std::size_t i = 1; i < row.size(); ++i) EXPECT_LE(rect(row[i - 1]).right, rect(row[i]).left) << row[i];
    }
    EXPECT_LE(rect("Edit1").bottom, rect("Edit2").top + 1);
    EXPECT_LE(rect("Edit2").bottom, rect("Button1").top);
    EXPECT_LE(rect("Button1").bottom, rect("RichEdit1").top);
    EXPECT_LE(rect("RichEdit1").bottom, rect("Label3").top);
    for (const layout::Control& entry : layout::kControls) {
        const RECT r = rect(entry.name);
        EXPECT_TRUE(r.left >= 0 && r.top >= 0 && r.right <= client.right && r.bottom <= client.bottom)
            << entry.name << " lies outside the window";
        for (const layout::Control& other : layout::kControls) {
            RECT overlap;
            const RECT o = rect(other.name);
            EXPECT_TRUE(entry.name == other.name || !IntersectRect(&overlap, &r, &o))
                << entry.name << " overlaps " << other.name;
        }
    }
}

TEST_F(WindowTest, LabelsSizeThemselvesToTheirText) {
    for (HWND label : {form.Label1, form.Label2, form.Label3}) {
        const std::wstring text = win::WindowText(label);
        ASSERT_FALSE(text.empty());
        const HDC dc = GetDC(label);
        const HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(label, WM_GETFONT, 0, 0)));
        SIZE size{};
        GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &size);
        SelectObject(dc, old);
        ReleaseDC(label, dc);
        const RECT rect = RectInParent(label);
        EXPECT_EQ(rect.right - rect.left, size.cx);
    }
    EXPECT_NE(win::WindowText(form.Label3).find(L"Copyright"), std::wstring::npos);
}

TEST_F(WindowTest, ColoursOfLabelsAndFields) {
    const HDC dc = GetDC(form.Handle());
    const auto brushColour = [&](HWND control) {
        const auto brush = reinterpret_cast<HBRUSH>(SendMessageW(form.Handle(), WM_CTLCOLORSTATIC,
                                                                 reinterpret_cast<WPARAM>(dc),
                                                                 reinterpret_cast<LPARAM>(control)));
        LOGBRUSH logBrush{};
        GetObjectW(brush, sizeof logBrush, &logBrush);
        return logBrush.lbColor;
    };
    EXPECT_EQ(brushColour(form.Label1), RGB(174, 239, 253));
    EXPECT_EQ(brushColour(form.Label3), RGB(174, 239, 253));
    EXPECT_EQ(brushColour(form.Edit1), GetSysColor(COLOR_WINDOW));
    ReleaseDC(form.Handle(), dc);
}

TEST_F(WindowTest, UsageTextIsShownWhole) {
    // Line by line, whatever line breaks the box gives back; the file's
    // own lines are checked with the other resources.
    const auto lines = [](std::wstring_view text) {
        std::wstring out;
        for (std::size_t i = 0; i < text.size(); ++i) {
            if (text.substr(i, 2) == L"\r\n") continue;  // its LF follows
            out += text[i] == L'\r' ? L'\n' : text[i];
        }
        while (!out.empty() && out.back() == L'\n') out.pop_back();
        return out;
    };
    const std::string usage = test::ReadFile(std::filesystem::path(KARTOVO_SOURCE_DIR) / "resources" / "usage.txt");
    const std::wstring text = win::WindowText(form.RichEdit1);
    EXPECT_EQ(lines(text), lines(win::Utf8ToWide(usage)));
    // Typing changes nothing.
    SendMessageW(form.RichEdit1, WM_CHAR, L'x', 0);
    EXPECT_EQ(win::WindowText(form.RichEdit1), text);
}


// A key pressed through the system's input, as a keyboard would.
struct Key {
    WORD vk;
    WORD modifier = 0;  // VK_SHIFT or VK_MENU, held around the key
};

void Press(const Key& key) {
    std::vector<INPUT> inputs;
    const auto add = [&inputs](WORD vk, bool up) {
        INPUT input{};
        input.type = INPUT_KEYBOARD;
        input.ki.wVk = vk;
        input.ki.wScan = static_cast<WORD>(MapVirtualKeyW(vk, MAPVK_VK_TO_VSC));
        input.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
        inputs.push_back(input);
    };
    if (key.modifier != 0) add(key.modifier, false);
    add(key.vk, false);
    add(key.vk, true);
    if (key.modifier != 0) add(key.modifier, true);
    SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
}

// Runs the program's own message loop for a while after the keys, and
// closes (naming it) any window that opens meanwhile.
std::vector<std::wstring> PressWithLoopRunning(TForm1& form, const std::vector<Key>& keys) {
    static thread_local std::vector<std::wstring>* opened = nullptr;
    static thread_local HWND main = nullptr;
    std::vector<std::wstring> windows;
    opened = &windows;
    main = form.Handle();
    const UINT_PTR closer = SetTimer(nullptr, 0, 20, [](HWND, UINT, UINT_PTR, DWORD) {
        EnumThreadWindows(
            GetCurrentThreadId(),
            [](HWND window, LPARAM) -> BOOL {
                if (window != main && IsWindowVisible(window) && IsWindowEnabled(window)) {
                    opened->push_back(win::WindowText(window));
                    PostMessageW(window, WM_CLOSE, 0, 0);
                }
                return TRUE;
            },
            0);
    });
    const UINT_PTR stopper = SetTimer(nullptr, 0, 400, [](HWND, UINT, UINT_PTR, DWORD) { PostQuitMessage(0); });
    for (const Key& key : keys) Press(key);
    RunMessageLoop(form);
    KillTimer(nullptr, closer);
    KillTimer(nullptr, stopper);
    return windows;
}

TEST_F(WindowTest, KeysWithTheFocusOnEachKindOfControl) {
    const Key tab{VK_TAB};
    const Key backTab{VK_TAB, VK_SHIFT};
    const Key escape{VK_ESCAPE};
    const Key enter{VK_RETURN};
    const std::wstring picker = L"Gmailからエクスポートしたvcfファイルを選んで下さい";
    struct Case {
        std::string_view focus;
        Key key;
        std::string_view focusAfter;      // "" when the window is gone
        std::vector<std::wstring> opened;  // captions of windows that opened
        int shellCalls;
    };
    const Case cases[] = {
        // Escape does nothing anywhere: there is no cancel button.
        {"Button1", escape, "Button1", {}, 0},
        {"BitBtn1", escape, "BitBtn1", {}, 0},
        {"Edit1", escape, "Edit1", {}, 0},
        {"RichEdit1", escape, "RichEdit1", {}, 0},
        // Tab and Shift+Tab go to the neighbouring tab stop, from any control.
        {"Button3", tab, "Button4", {}, 0},
        {"Button1", tab, "BitBtn1", {}, 0},
        {"BitBtn1", tab, "Button3", {}, 0},
        {"Button3", backTab, "BitBtn1", {}, 0},
        {"Edit1", tab, "BitBtn1", {}, 0},
        {"RichEdit1", tab, "Button3", {}, 0},
        {"RichEdit1", backTab, "BitBtn1", {}, 0},
        // Enter presses the focused button, and nothing else.
        {"Button3", enter, "Button3", {picker}, 0},
        {"Button4", enter, "Button4", {L"エラー"}, 0},
        {"Button1", enter, "Button1", {L"エラー"}, 0},
        {"Button2", enter, "Button2", {}, 1},
        {"Edit1", enter, "Edit1", {}, 0},
        {"RichEdit1", enter, "RichEdit1", {}, 0},
        {"BitBtn1", enter, "", {}, 0},
        // The close button's access key.
        {"RichEdit1", Key{'C', VK_MENU}, "", {}, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.focus << ", key " << c.key.vk << (c.key.modifier != 0 ? " with a modifier" : ""));
        if (form.Handle() == nullptr) form.Create();  // closed by the case before
        int shellCalls = 0;
        form.OpenWithShell = [&shellCalls](HWND, const wchar_t*, const wchar_t*, int) { ++shellCalls; };
        ShowWindow(form.Handle(), SW_SHOWNORMAL);
        SetForegroundWindow(form.Handle());
        SetFocus(ControlNamed(c.focus));
        ASSERT_EQ(GetFocus(), ControlNamed(c.focus));

        EXPECT_EQ(PressWithLoopRunning(form, {c.key}), c.opened);
        EXPECT_EQ(shellCalls, c.shellCalls);
        if (c.focusAfter.empty()) {
            EXPECT_EQ(form.Handle(), nullptr) << "the window should have closed";
        } else {
            ASSERT_NE(form.Handle(), nullptr) << "the window closed";
            EXPECT_EQ(GetFocus(), ControlNamed(c.focusAfter));
        }
    }
}

TEST_F(WindowTest, DropsTakeTheLastFileAndDeriveTheDestination) {
    EXPECT_TRUE(GetWindowLongW(form.Handle(), GWL_EXSTYLE) & WS_EX_ACCEPTFILES);
    struct Case {
        std::vector<std::wstring> dropped;
        std::wstring source, destination;
    };
    const std::wstring longFolder = L"C:\\" + std::wstring(150, L'a') + L"\\" + std::wstring(150, L'b');
    const Case cases[] = {
        {{L"C:\\data\\contacts.vcf"}, L"C:\\data\\contacts.vcf", L"C:\\data\\contacts.csv"},
        {{L"C:\\a.vcf", L"C:\\b.vcf", L"C:\\old.d\\c"}, L"C:\\old.d\\c", L"C:\\old.d\\c.csv"},
        {{longFolder + L"\\連絡先.vcf"}, longFolder + L"\\連絡先.vcf", longFolder + L"\\連絡先.csv"},
        {{L"C:\\주소록\\한국.vcf"}, L"C:\\주소록\\한국.vcf", L"C:\\주소록\\한국.csv"},
    };
    for (const Case& c : cases) {
        Drop(c.dropped);
        EXPECT_EQ(form.OpenDialog1.FileName.native(), c.source);
        EXPECT_EQ(win::WindowText(form.Edit1), c.source);
        EXPECT_EQ(form.SaveDialog1.FileName.native(), c.destination);
        EXPECT_EQ(win::WindowText(form.Edit2), c.destination);
    }
}

TEST_F(WindowTest, DropReplacesADestinationChosenByHand) {
    Drop({L"C:\\x\\in.vcf"});
    form.SaveDialog1.FileName = L"D:\\elsewhere.csv";
    SetWindowTextW(form.Edit2, L"D:\\elsewhere.csv");
    Drop({L"C:\\y\\next.vcf"});
    EXPECT_EQ(win::WindowText(form.Edit2), L"C:\\y\\next.csv");
}

TEST_F(WindowTest, DialogSettings) {
    // The titles show in the pickers' own test, on the system's dialogs.
    struct Case {
        const TFileDialog* dialog;
        std::wstring filter;
        const wchar_t* defaultExt;
    };
    // The destination's file types: each layout by its title, then the template.
    std::wstring types;
    for (const Layout& layout : BuiltInLayouts()) types += win::Utf8ToWide(layout.title) + std::wstring(L"\0*.csv\0", 7);
    types += std::wstring(L"テンプレートに合わせる...\0*.csv\0\0", 22);
    const Case cases[] = {
        {&form.OpenDialog1, std::wstring(L"vCard\0*.vcf\0\0", 13), nullptr},
        {&form.SaveDialog1, types, L"csv"},
        {&form.OpenDialog2, std::wstring(L"CSVファイル\0*.csv\0\0", 16), nullptr},
    };
    for (const Case& c : cases) {
        std::wstring buffer, filter;
        const_cast<TFileDialog*>(c.dialog)->FileName = L"C:\\held\\path.x";
        const OPENFILENAMEW settings = c.dialog->Settings(form.Handle(), buffer, filter);
        EXPECT_EQ(std::wstring(settings.lpstrFilter, c.filter.size()), c.filter);
        if (c.defaultExt == nullptr) {
            EXPECT_EQ(settings.lpstrDefExt, nullptr);
        } else {
            EXPECT_STREQ(settings.lpstrDefExt, c.defaultExt);
        }
        EXPECT_STREQ(settings.lpstrFile, L"C:\\held\\path.x");  // the held path is proposed
        EXPECT_GE(settings.nMaxFile, 32768u);
        EXPECT_EQ(settings.Flags & (OFN_HIDEREADONLY | OFN_ENABLESIZING), DWORD{OFN_HIDEREADONLY | OFN_ENABLESIZING});
        EXPECT_EQ(settings.Flags & (OFN_ALLOWMULTISELECT | OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_CREATEPROMPT |
                                    OFN_OVERWRITEPROMPT),
                  0u);
        EXPECT_EQ(settings.hwndOwner, form.Handle());
    }
}

TEST_F(WindowTest, ContactsPageGoesToTheShell) {
    std::vector<std::wstring> calls;
    form.OpenWithShell = [&](HWND owner, const wchar_t* verb, const wchar_t* file, int show) {
        EXPECT_EQ(owner, form.Handle());
        EXPECT_EQ(show, SW_SHOWNORMAL);
        calls.push_back(std::wstring(verb) + L" " + file);
    };
    SendMessageW(form.Button2, BM_CLICK, 0, 0);
    EXPECT_EQ(calls, std::vector<std::wstring>{L"open https://contacts.google.com"});
}

// Types a name into the system's file dialog and accepts it, or cancels.
std::function<void(HWND)> InFileDialog(std::wstring& title, const std::wstring& name) {
    return [&title, name](HWND dialog) {
        title = win::WindowText(dialog);
        if (name.empty()) {
            PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
            return;
        }
        // The file name box (cmb13, an editable combo box) and OK.
        SetDlgItemTextW(dialog, cmb13, name.c_str());
        SetDlgItemTextW(dialog, edt1, name.c_str());
        PostMessageW(dialog, WM_COMMAND, IDOK, 0);
    };
}

// Wine's browser bridge, pointed at a stand-in that records the address, for
// as long as this lives; the setting it had before is put back.
class RecordingBrowser {
public:
    explicit RecordingBrowser(const std::wstring& program) {
        RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\Wine\\WineBrowser", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                        &key_, nullptr);
        DWORD size = 0;
        hadValue_ = RegQueryValueExW(key_, L"Browsers", nullptr, nullptr, nullptr, &size) == ERROR_SUCCESS;
        if (hadValue_) {
            previous_.resize(size / sizeof(wchar_t));
            RegQueryValueExW(key_, L"Browsers", nullptr, nullptr, reinterpret_cast<BYTE*>(previous_.data()), &size);
        }
        Set(program + L'\0');
    }
    ~RecordingBrowser() {
        if (hadValue_) {
            Set(previous_);
        } else {
            RegDeleteValueW(key_, L"Browsers");
        }
        RegCloseKey(key_);
    }
    RecordingBrowser(const RecordingBrowser&) = delete;
    RecordingBrowser& operator=(const RecordingBrowser&) = delete;

private:
    void Set(const std::wstring& value) {
        RegSetValueExW(key_, L"Browsers", 0, REG_SZ, reinterpret_cast<const BYTE*>(value.data()),
                       static_cast<DWORD>(value.size() * sizeof(wchar_t)));
    }
    HKEY key_ = nullptr;
    bool hadValue_ = false;
    std::wstring previous_;
};

TEST_F(WindowTest, ContactsPageOpensInTheDefaultBrowser) {
    // Where the stand-in browser notes the address: a Unix path that the
    // test run sets for the whole Wine session (a variable set in here would
    // not reach a Unix program that Wine starts).
    wchar_t record[4096] = {};
    const bool underWine = GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr;
    if (!underWine || GetEnvironmentVariableW(L"KARTOVO_URL_RECORD", record, 4096) == 0) {
        GTEST_SKIP() << "not under Wine with KARTOVO_URL_RECORD set: the browser that opens cannot be watched";
    }
    std::wstring windowsName = std::wstring(L"Z:") + record;
    std::replace(windowsName.begin(), windowsName.end(), L'/', L'\\');
    const std::filesystem::path recorded(windowsName);
    std::filesystem::remove(recorded);
    const RecordingBrowser browser(win::Utf8ToWide(KARTOVO_SOURCE_DIR "/tests/app/record-url.sh"));

    SendMessageW(form.Button2, BM_CLICK, 0, 0);  // through the real shell
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (!std::filesystem::exists(recorded) && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(100));  // the line written whole
    EXPECT_NE(test::ReadFile(recorded).find("https://contacts.google.com"), std::string::npos)
        << "the browser got: " << test::ReadFile(recorded);
}

TEST_F(WindowTest, PickersTakeATypedNameOrChangeNothing) {
    const std::wstring source = (dir / "typed.vcf").native();  // need not exist
    std::wstring title;
    const std::filesystem::path folderBefore = std::filesystem::current_path();

    test::RunWithModal([&] { return static_cast<int>(SendMessageW(form.Button3, BM_CLICK, 0, 0)); },
                       InFileDialog(title, source));
    EXPECT_EQ(title, L"Gmailからエクスポートしたvcfファイルを選んで下さい");
    EXPECT_EQ(win::WindowText(form.Edit1), source);
    EXPECT_EQ(win::WindowText(form.Edit2), (dir / "typed.csv").native());

    // The destination picker: a name without an extension gets ".csv".
    test::RunWithModal([&] { return static_cast<int>(SendMessageW(form.Button4, BM_CLICK, 0, 0)); },
                       InFileDialog(title, (dir / "chosen").native()));
    EXPECT_EQ(title, L"保存先を選んで下さい");
    EXPECT_EQ(win::WindowText(form.Edit2), (dir / "chosen.csv").native());
    EXPECT_EQ(form.SaveDialog1.FileName, dir / "chosen.csv");

    // Cancelling either changes nothing, even with a file dropped on the
    // window meanwhile; and no dialog moves the current folder.
    for (HWND button : {form.Button3, form.Button4}) {
        HDROP drop = nullptr;
        test::RunWithModal([&] { return static_cast<int>(SendMessageW(button, BM_CLICK, 0, 0)); },
                           DroppingFirst(form.Handle(), dir / "dropped.vcf", drop, InFileDialog(title, L"")));
        EXPECT_EQ(win::WindowText(form.Edit1), source);
        EXPECT_EQ(win::WindowText(form.Edit2), (dir / "chosen.csv").native());
    }
    EXPECT_EQ(std::filesystem::current_path(), folderBefore);
}

TEST_F(WindowTest, ConvertsADroppedFile) {
    const auto source = dir / "連絡先.vcf";
    std::filesystem::copy_file(std::filesystem::path(KARTOVO_SOURCE_DIR) / "samples" / "contacts.vcf", source);
    ChooseSource(source);
    Click(form.Button1, {Answer(said, IDOK)});
    // The sample's 𠮷田 has no CP932 form; its fourth contact has a work address only.
    EXPECT_EQ(said, (std::vector<Said>{{L"警告", L"5件の連絡先を変換しました\n\n1件の連絡先に、CSVに書けない文字が"
                                                 L"ありました。その文字は「?」になっています。\n1件の連絡先は、自宅の"
                                                 L"住所がないため住所が空になっています。\n・3件目 𠮷田　健：𠮷\n"
                                                 L"・4件目 　：自宅の住所がありません（自宅以外の住所だけ）"}}));
    EXPECT_EQ(test::ReadFile(dir / "連絡先.csv"),
              test::ReadFile(std::filesystem::path(KARTOVO_SOURCE_DIR) / "tests" / "data" / "contacts.csv"));
}

// In the save dialog: notes the file type it starts on (from 1), chooses
// type `type` from its list and accepts `name`.
std::function<void(HWND)> InSaveDialog(LRESULT& startType, int type, const std::wstring& name) {
    return [&startType, type, name](HWND dialog) {
        const HWND types = GetDlgItem(dialog, cmb1);
        startType = SendMessageW(types, CB_GETCURSEL, 0, 0) + 1;
        SendMessageW(types, CB_SETCURSEL, static_cast<WPARAM>(type - 1), 0);
        SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(cmb1, CBN_SELENDOK), reinterpret_cast<LPARAM>(types));
        std::wstring title;
        InFileDialog(title, name)(dialog);
    };
}

TEST_F(WindowTest, FileTypeOfTheDestinationIsTheLayoutOfTheNextRuns) {
    test::WriteFile(dir / "in.vcf",
                    "BEGIN:VCARD\r\nN:山田;花子;;;\r\nADR;TYPE=HOME:;;1-2;港区;東京都;105-0011;\r\nEND:VCARD\r\n");
    test::WriteFile(dir / "form.csv", "姓,名,郵便番号,住所1\r\n");
    test::WriteFile(dir / "no-form.csv", "a,b\r\n");
    ChooseSource(dir / "in.vcf");
    const int templateType = static_cast<int>(BuiltInLayouts().size()) + 1;
    const std::string kitamura = FindLayout("kitamura")->headerBytes + "\r\n";
    const std::wstring kitamuraLine = L"書き出した様式：カメラのキタムラ用 CSV（2022年の様式）";
    const std::wstring refused = win::Cp932ToWide(WithClosingPeriod(texts::kTemplateNoHeader));
    // One after another: each starts on the type in force after the one before.
    struct Case {
        int type;
        std::string templateName;   // for the template type; empty: its dialog is cancelled
        int startsOn;
        std::string head;           // what the CSV starts with
        std::wstring layoutLine;    // the message's line naming the layout; empty: none
        std::vector<Said> refusal;  // the template refused
    };
    const Case cases[] = {
        {2, "", 1, kitamura, kitamuraLine, {}},
        {templateType, "", 2, kitamura, kitamuraLine, {}},
        {templateType, "no-form.csv", 2, kitamura, kitamuraLine, {{L"エラー", refused}}},
        {templateType, "form.csv", 2, "姓,名,郵便番号,住所1\r\n山田,花子,105-0011,東京都港区1-2\r\n",
         L"書き出した様式：テンプレート「form.csv」", {}},
        {1, "", templateType, std::string(texts::kHeaderRow) + "\r\n", L"", {}},
    };
    int run = 0;
    for (const Case& c : cases) {
        const std::filesystem::path destination = dir / ("out" + std::to_string(++run) + ".csv");
        SCOPED_TRACE(run);
        LRESULT startType = 0;
        std::wstring title;
        std::vector<std::function<void(HWND)>> acts = {InSaveDialog(startType, c.type, destination.native())};
        if (c.type == templateType) {
            acts.push_back(InFileDialog(title, c.templateName.empty() ? L"" : (dir / c.templateName).native()));
        }
        if (!c.refusal.empty()) acts.push_back(Answer(said, IDOK));
        said.clear();
        Click(form.Button4, acts);
        EXPECT_EQ(startType, c.startsOn);
        EXPECT_EQ(said, c.refusal);

        said.clear();
        Click(form.Button1, {Answer(said, IDOK)});
        EXPECT_EQ(test::ReadFile(destination).substr(0, c.head.size()), c.head);
        ASSERT_EQ(said.size(), 1u);
        const std::wstring& message = said[0].text;
        const std::size_t line = message.find(L"\n書き出した様式");
        const std::size_t lineEnd = message.find(L'\n', line + 1);
        EXPECT_EQ(line == std::wstring::npos ? L"" : message.substr(line + 1, lineEnd - line - 1), c.layoutLine);
    }
}

// Ctrl held down for this thread, as GetKeyState sees it, while this lives.
class ControlKeyDown {
public:
    ControlKeyDown() {
        GetKeyboardState(saved_);
        BYTE keys[256];
        std::copy(std::begin(saved_), std::end(saved_), keys);
        keys[VK_CONTROL] = 0x80;
        SetKeyboardState(keys);
    }
    ~ControlKeyDown() { SetKeyboardState(saved_); }
    ControlKeyDown(const ControlKeyDown&) = delete;
    ControlKeyDown& operator=(const ControlKeyDown&) = delete;

private:
    BYTE saved_[256] = {};
};

std::wstring ClipboardText() {
    std::wstring text;
    if (!OpenClipboard(nullptr)) return L"(the clipboard could not be opened)";
    if (const HANDLE data = GetClipboardData(CF_UNICODETEXT)) {
        if (const auto* units = static_cast<const wchar_t*>(GlobalLock(data))) {
            text = units;
            GlobalUnlock(data);
        }
    }
    CloseClipboard();
    return text;
}

TEST_F(WindowTest, WarnsOfWhatTheCsvCouldNotShowAndCopiesIt) {
    std::string source;
    std::wstring listed;
    for (int n = 1; n <= 11; ++n) {
        source += "BEGIN:VCARD\r\nN:𠮷田;太郎;;;\r\nEND:VCARD\r\n";
        if (n <= 10) listed += L"\n・" + std::to_wstring(n) + L"件目 𠮷田　太郎：𠮷";
    }
    test::WriteFile(dir / "in.vcf", source);
    ChooseSource(dir / "in.vcf");
    // Nothing of an earlier run's copy may pass for this one's.
    ASSERT_TRUE(OpenClipboard(nullptr) && EmptyClipboard() && CloseClipboard());
    HICON icon = nullptr;
    {
        const ControlKeyDown control;
        Click(form.Button1, {[&](HWND box) {
                  icon = reinterpret_cast<HICON>(SendDlgItemMessageW(box, kMessageBoxIconId, STM_GETICON, 0, 0));
                  // Ctrl+C, as the keyboard sends it, before the click that closes the box.
                  PostMessageW(GetFocus(), WM_KEYDOWN, 'C', 0);
                  Answer(said, kResultOk)(box);
              }});
    }
    const std::wstring text = L"11件の連絡先を変換しました\n住所のない連絡先：11件\n\n11件の連絡先に、CSVに書けない文字がありました。"
                              L"その文字は「?」になっています。" + listed + L"\nほか1件";
    EXPECT_EQ(said, (std::vector<Said>{{L"警告", text}}));
    EXPECT_EQ(icon, LoadIconW(nullptr, IDI_EXCLAMATION));
    EXPECT_EQ(form.Lost.Entries().size(), 10u);  // however many contacts lost text
    std::wstring copied = text;
    for (std::size_t at = copied.find(L'\n'); at != std::wstring::npos; at = copied.find(L'\n', at + 2)) {
        copied.insert(at, 1, L'\r');
    }
    const std::wstring rule = L"---------------------------\r\n";
    EXPECT_EQ(ClipboardText(), rule + L"警告\r\n" + rule + copied + L"\r\n" + rule + L"OK   \r\n" + rule);
}

TEST_F(WindowTest, EmptyPathsAndNoSourceYet) {
    Click(form.Button1, {Answer(said, IDOK)});
    Click(form.Button4, {Answer(said, IDOK)});  // and no dialog opens after it
    EXPECT_EQ(said, (std::vector<Said>{{L"エラー", L"ファイルを指定して下さい"},
                                       {L"エラー", L"先に変換元ファイルを指定して下さい"}}));
}

TEST_F(WindowTest, OverwriteQuestion) {
    struct Case {
        int answer;  // 0: closed from the title bar
        const wchar_t* then;
        bool written;
        bool dropMeanwhile = false;  // another file dropped on the window while the question is up
    };
    const Case cases[] = {
        {kResultYes, L"1件の連絡先を変換しました\n住所のない連絡先：1件", true},
        {kResultNo, L"処理を中止しました", false},
        {0, L"処理を中止しました", false},
        // The answer is about the file shown when 変換 was pressed.
        {kResultYes, L"1件の連絡先を変換しました\n住所のない連絡先：1件", true, true},
    };
    test::WriteFile(dir / "in.vcf", "BEGIN:VCARD\r\nEND:VCARD\r\n");
    test::WriteFile(dir / "other.vcf", "BEGIN:VCARD\r\nEND:VCARD\r\n");
    ChooseSource(dir / "in.vcf");
    ShowWindow(form.Handle(), SW_SHOWNORMAL);  // the message box disables only windows that show
    for (const Case& c : cases) {
        test::WriteFile(dir / "in.csv", "old");
        test::WriteFile(dir / "other.csv", "old");
        said.clear();
        HDROP drop = nullptr;
        const auto answer = Answer(said, c.answer);
        Click(form.Button1, {c.dropMeanwhile ? DroppingFirst(form.Handle(), dir / "other.vcf", drop, answer) : answer,
                             Answer(said, IDOK)});
        EXPECT_EQ(said, (std::vector<Said>{{L"確認", L"ファイルを上書きしますか"}, {L"情報", c.then}}));
        EXPECT_EQ(test::ReadFile(dir / "in.csv") != "old", c.written);
        EXPECT_EQ(test::ReadFile(dir / "other.csv"), "old");
        EXPECT_EQ(win::WindowText(form.Edit1), (dir / "in.vcf").native());
        if (drop != nullptr) {
            EXPECT_EQ(GlobalFlags(drop), UINT{GMEM_INVALID_HANDLE}) << "the drop was not finished";
        }
    }
    // Enabled again, the window takes drops.
    ChooseSource(dir / "other.vcf");
    EXPECT_EQ(win::WindowText(form.Edit2), (dir / "other.csv").native());
}

TEST_F(WindowTest, FailureIsShownAndTheWindowGoesOn) {
    const std::filesystem::path missing = dir / "한국🙂" / "missing.vcf";
    ChooseSource(missing);
    Click(form.Button1, {Answer(said, IDOK)});
    ASSERT_EQ(said.size(), 1u);
    EXPECT_EQ(said[0].caption, L"Kartovo");
    EXPECT_EQ(said[0].text.rfind(L"ファイル " + missing.native() + L" は開けません。 ", 0), 0u);  // the path as it is
    EXPECT_EQ(said[0].text.back(), L' ');  // a text ending in a blank gets no period

    // The next press starts a fresh run.
    std::filesystem::create_directory(missing.parent_path());
    test::WriteFile(missing, "BEGIN:VCARD\r\nEND:VCARD\r\nEND:VCARD\r\n");
    said.clear();
    Click(form.Button1, {Answer(said, IDOK)});
    EXPECT_EQ(said, (std::vector<Said>{{L"情報", L"2件の連絡先を変換しました\n住所のない連絡先：2件"}}));
}

}  // namespace
}  // namespace kartovo
