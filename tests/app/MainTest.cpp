#include "Main.h"

#include <gtest/gtest.h>
#include <richedit.h>
#include <shlobj.h>
#include <dlgs.h>

#include "Layout.h"
#include "MessageBox.h"
#include "ModalDriver.h"
#include "TestSupport.h"
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

class MainWindowTest : public ::testing::Test {
protected:
    TForm1 form;

    void SetUp() override {
        form.EndsProgram = false;
        form.Create();
    }

    int Scaled(int value) const { return MulDiv(value, form.ScaleNumerator(), form.ScaleDenominator()); }

    HWND Control(std::size_t index) const {
        const HWND all[] = {form.Label1, form.Label2, form.Label3, form.BitBtn1, form.Edit1, form.Edit2,
                            form.Button1, form.Button3, form.Button4, form.Button2, form.RichEdit1};
        return all[index];
    }
};

TEST_F(MainWindowTest, WindowIsFixedCentredAndScaled) {
    const HWND window = form.Handle();
    EXPECT_EQ(win::WindowText(window), L"Kartovo");
    const LONG style = GetWindowLongW(window, GWL_STYLE);
    EXPECT_TRUE(style & WS_CAPTION);
    EXPECT_TRUE(style & WS_SYSMENU);
    EXPECT_TRUE(style & WS_MINIMIZEBOX);
    EXPECT_FALSE(style & WS_MAXIMIZEBOX);
    EXPECT_FALSE(style & WS_THICKFRAME);
    EXPECT_EQ(GetParent(window), nullptr);
    EXPECT_EQ(GetWindow(window, GW_OWNER), nullptr);  // its own task-bar button

    RECT client;
    GetClientRect(window, &client);
    EXPECT_EQ(client.right, Scaled(937));
    EXPECT_EQ(client.bottom, Scaled(656));

    // The scale is the window font's text height over 16; at 96 pixels per
    // inch that is about four fifths.
    const HDC screen = GetDC(nullptr);
    const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    const LOGFONTW windowFont = FontOf(form.Label3);
    EXPECT_EQ(windowFont.lfHeight, MulDiv(-13, dpi, 120));
    // The layout follows the text height that font has on this screen (with
    // Tahoma at 96 pixels per inch, 13 of 16: about four fifths).
    const HDC dc = GetDC(form.Label3);
    const HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(form.Label3, WM_GETFONT, 0, 0)));
    TEXTMETRICW metrics{};
    GetTextMetricsW(dc, &metrics);
    SelectObject(dc, old);
    ReleaseDC(form.Label3, dc);
    EXPECT_EQ(form.ScaleNumerator(), metrics.tmHeight);
    EXPECT_EQ(form.ScaleDenominator(), 16);
    if (dpi < 120) {
        EXPECT_LT(client.right, 937);
    }

    RECT frame;
    GetWindowRect(window, &frame);
    EXPECT_NEAR((frame.left + frame.right) / 2, GetSystemMetrics(SM_CXSCREEN) / 2, 1);
    EXPECT_NEAR((frame.top + frame.bottom) / 2, GetSystemMetrics(SM_CYSCREEN) / 2, 1);
}

TEST_F(MainWindowTest, ControlsFollowTheLayout) {
    struct Expected {
        const wchar_t* className;
        DWORD styleBits;
        DWORD exStyleBits;
    };
    const Expected expected[] = {
        {L"Static", SS_NOPREFIX, 0},
        {L"Static", SS_NOPREFIX, 0},
        {L"Static", SS_NOPREFIX, 0},
        {L"Button", BS_OWNERDRAW | WS_TABSTOP, 0},
        {L"Edit", ES_READONLY | ES_AUTOHSCROLL, WS_EX_CLIENTEDGE},
        {L"Edit", ES_READONLY | ES_AUTOHSCROLL, WS_EX_CLIENTEDGE},
        {L"Button", WS_TABSTOP, 0},
        {L"Button", WS_TABSTOP, 0},
        {L"Button", WS_TABSTOP, 0},
        {L"Button", 0, 0},
        {L"RICHEDIT50W", ES_READONLY | ES_MULTILINE | WS_BORDER, 0},
    };
    for (std::size_t i = 0; i < std::size(layout::kControls); ++i) {
        const layout::Control& entry = layout::kControls[i];
        const HWND control = Control(i);
        SCOPED_TRACE(entry.name);
        ASSERT_NE(control, nullptr);
        EXPECT_EQ(GetDlgCtrlID(control), 100 + static_cast<int>(i));  // creation order
        EXPECT_EQ(_wcsicmp(ClassOf(control).c_str(), expected[i].className), 0) << ClassOf(control).c_str();

        const LONG style = GetWindowLongW(control, GWL_STYLE);
        const LONG exStyle = GetWindowLongW(control, GWL_EXSTYLE);
        EXPECT_EQ(static_cast<DWORD>(style) & expected[i].styleBits, expected[i].styleBits);
        EXPECT_EQ(static_cast<DWORD>(exStyle) & expected[i].exStyleBits, expected[i].exStyleBits);
        EXPECT_EQ((style & WS_TABSTOP) != 0, entry.tabStop);
        EXPECT_FALSE(style & (WS_VSCROLL | WS_HSCROLL));
        if (entry.kind == layout::Kind::Button) {
            EXPECT_EQ(style & 0x0F, BS_PUSHBUTTON);  // never the default button
        }

        const RECT rect = RectInParent(control);
        EXPECT_EQ(rect.left, Scaled(entry.left));
        EXPECT_EQ(rect.top, Scaled(entry.top));
        if (entry.kind != layout::Kind::Label) {
            EXPECT_EQ(rect.right - rect.left, Scaled(entry.width));
            EXPECT_EQ(rect.bottom - rect.top, Scaled(entry.height));
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
        const LOGFONTW font = FontOf(control);
        if (entry.font.face != nullptr) {
            EXPECT_STREQ(font.lfFaceName, entry.font.face);
            EXPECT_EQ(font.lfHeight, Scaled(entry.font.height));
            EXPECT_EQ(font.lfCharSet, entry.font.charset);
        } else {
            EXPECT_STREQ(font.lfFaceName, L"Tahoma");
            EXPECT_EQ(font.lfCharSet, DEFAULT_CHARSET);
        }
    }
}

TEST_F(MainWindowTest, LabelsSizeThemselvesToTheirText) {
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

TEST_F(MainWindowTest, TabCyclesTheFourButtons) {
    std::vector<HWND> order;
    HWND at = form.Button3;
    for (int i = 0; i < 5; ++i) {
        order.push_back(at);
        at = GetNextDlgTabItem(form.Handle(), at, FALSE);
    }
    const std::vector<HWND> expected = {form.Button3, form.Button4, form.Button1, form.BitBtn1, form.Button3};
    EXPECT_EQ(order, expected);
}

TEST_F(MainWindowTest, ColoursOfLabelsAndFields) {
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

TEST_F(MainWindowTest, UsageTextHasItsTwentyTwoLines) {
    const std::wstring text = win::WindowText(form.RichEdit1);
    std::vector<std::wstring> lines;
    std::size_t start = 0;
    while (start <= text.size()) {
        const std::size_t end = text.find_first_of(L"\r\n", start);
        lines.push_back(text.substr(start, end == std::wstring::npos ? std::wstring::npos : end - start));
        if (end == std::wstring::npos) break;
        start = end + ((text[end] == L'\r' && end + 1 < text.size() && text[end + 1] == L'\n') ? 2 : 1);
    }
    while (!lines.empty() && lines.back().empty()) lines.pop_back();
    ASSERT_EQ(lines.size(), 22u);
    EXPECT_EQ(lines[0], L"★説明★");
    EXPECT_EQ(lines[1].rfind(L"【１】", 0), 0u);
    EXPECT_EQ(lines[15], L"さい。");
    EXPECT_EQ(lines[17].rfind(L"【４】", 0), 0u);
    // Typing changes nothing.
    SendMessageW(form.RichEdit1, WM_CHAR, L'x', 0);
    EXPECT_EQ(win::WindowText(form.RichEdit1), text);
}

}  // namespace
}  // namespace kartovo

namespace kartovo {
namespace {

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

class FileChoiceTest : public ::testing::Test {
protected:
    TForm1 form;
    void SetUp() override {
        form.EndsProgram = false;
        form.Create();
    }
    void Drop(const std::vector<std::wstring>& paths) {
        SendMessageW(form.Handle(), WM_DROPFILES, reinterpret_cast<WPARAM>(MakeDrop(paths)), 0);
    }
};

TEST_F(FileChoiceTest, DropsTakeTheLastFileAndDeriveTheDestination) {
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

TEST_F(FileChoiceTest, DropReplacesADestinationChosenByHand) {
    Drop({L"C:\\x\\in.vcf"});
    form.SaveDialog1.FileName = L"D:\\elsewhere.csv";
    SetWindowTextW(form.Edit2, L"D:\\elsewhere.csv");
    Drop({L"C:\\y\\next.vcf"});
    EXPECT_EQ(win::WindowText(form.Edit2), L"C:\\y\\next.csv");
}

TEST_F(FileChoiceTest, DialogSettings) {
    struct Case {
        const TFileDialog* dialog;
        const wchar_t* title;
        std::wstring filter;
        const wchar_t* defaultExt;
    };
    const Case cases[] = {
        {&form.OpenDialog1, L"Gmailからエクスポートしたvcfファイルを選んで下さい", std::wstring(L"vCard\0*.vcf\0\0", 13), nullptr},
        {&form.SaveDialog1, L"保存先を選んで下さい", std::wstring(L"CSVファイル\0*.csv\0\0", 16), L"csv"},
    };
    for (const Case& c : cases) {
        std::wstring buffer, filter;
        const_cast<TFileDialog*>(c.dialog)->FileName = L"C:\\held\\path.x";
        const OPENFILENAMEW settings = c.dialog->Settings(form.Handle(), buffer, filter);
        EXPECT_STREQ(settings.lpstrTitle, c.title);
        EXPECT_EQ(std::wstring(settings.lpstrFilter, c.filter.size()), c.filter);
        EXPECT_EQ(settings.nFilterIndex, 1u);
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

TEST_F(FileChoiceTest, ContactsPageGoesToTheShell) {
    std::vector<std::wstring> calls;
    form.OpenWithShell = [&](HWND owner, const wchar_t* verb, const wchar_t* file, int show) {
        EXPECT_EQ(owner, form.Handle());
        EXPECT_EQ(show, SW_SHOWNORMAL);
        calls.push_back(std::wstring(verb) + L" " + file);
    };
    SendMessageW(form.Button2, BM_CLICK, 0, 0);
    EXPECT_EQ(calls, std::vector<std::wstring>{L"open URL:https://contacts.google.com"});
}

}  // namespace
}  // namespace kartovo

namespace kartovo {
namespace {

std::wstring ChildText(HWND window, int id) { return win::WindowText(GetDlgItem(window, id)); }

// What a message box said: its caption and text.
struct Said {
    std::wstring caption, text;
    bool operator==(const Said&) const = default;
};

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

class ConversionThroughTheWindowTest : public ::testing::Test {
protected:
    test::TempDir dir;
    TForm1 form;
    std::vector<Said> said;

    void SetUp() override {
        form.EndsProgram = false;
        form.Create();
    }

    void ChooseSource(const std::filesystem::path& source) {
        SendMessageW(form.Handle(), WM_DROPFILES, reinterpret_cast<WPARAM>(MakeDrop({source.native()})), 0);
    }

    void Click(HWND button, std::vector<std::function<void(HWND)>> answers) {
        test::RunWithModals(
            [&] {
                SendMessageW(button, BM_CLICK, 0, 0);
                return 0;
            },
            answers);
    }
};

TEST_F(ConversionThroughTheWindowTest, ConvertsADroppedFile) {
    const auto source = dir / "連絡先.vcf";
    std::filesystem::copy_file(std::filesystem::path(KARTOVO_SOURCE_DIR) / "samples" / "contacts.vcf", source);
    ChooseSource(source);
    Click(form.Button1, {Answer(said, IDOK)});
    EXPECT_EQ(said, (std::vector<Said>{{L"情報", L"5件の連絡先を変換しました"}}));
    EXPECT_EQ(test::ReadFile(dir / "連絡先.csv"),
              test::ReadFile(std::filesystem::path(KARTOVO_SOURCE_DIR) / "tests" / "data" / "contacts.csv"));
}

TEST_F(ConversionThroughTheWindowTest, EmptyPathsAndNoSourceYet) {
    Click(form.Button1, {Answer(said, IDOK)});
    Click(form.Button4, {Answer(said, IDOK)});  // and no dialog opens after it
    EXPECT_EQ(said, (std::vector<Said>{{L"エラー", L"ファイルを指定して下さい"},
                                       {L"エラー", L"先に変換元ファイルを指定して下さい"}}));
}

TEST_F(ConversionThroughTheWindowTest, OverwriteQuestion) {
    struct Case {
        int answer;  // 0: closed from the title bar
        const wchar_t* then;
        bool written;
    };
    const Case cases[] = {
        {kResultYes, L"1件の連絡先を変換しました", true},
        {kResultNo, L"処理を中止しました", false},
        {0, L"処理を中止しました", false},
    };
    test::WriteFile(dir / "in.vcf", "END:VCARD\r\n");
    ChooseSource(dir / "in.vcf");
    for (const Case& c : cases) {
        test::WriteFile(dir / "in.csv", "old");
        said.clear();
        Click(form.Button1, {Answer(said, c.answer), Answer(said, IDOK)});
        EXPECT_EQ(said, (std::vector<Said>{{L"確認", L"ファイルを上書きしますか"}, {L"情報", c.then}}));
        EXPECT_EQ(test::ReadFile(dir / "in.csv") != "old", c.written);
    }
}

TEST_F(ConversionThroughTheWindowTest, FailureIsShownAndTheWindowGoesOn) {
    const std::filesystem::path missing = dir / "한국🙂" / "missing.vcf";
    ChooseSource(missing);
    Click(form.Button1, {Answer(said, IDOK)});
    ASSERT_EQ(said.size(), 1u);
    EXPECT_EQ(said[0].caption, L"Kartovo");
    EXPECT_EQ(said[0].text.rfind(L"ファイル " + missing.native() + L" は開けません。 ", 0), 0u);  // the path as it is
    EXPECT_EQ(said[0].text.back(), L' ');  // a text ending in a blank gets no period

    // The next press starts a fresh run.
    std::filesystem::create_directory(missing.parent_path());
    test::WriteFile(missing, "END:VCARD\r\nEND:VCARD\r\n");
    said.clear();
    Click(form.Button1, {Answer(said, IDOK)});
    EXPECT_EQ(said, (std::vector<Said>{{L"情報", L"2件の連絡先を変換しました"}}));
}

// Runs the window's messages as the program's loop does, for a while, and
// closes (and records) any box that opens meanwhile.
std::vector<std::wstring> PumpKeys(TForm1& form, const std::vector<std::pair<UINT, WPARAM>>& keys) {
    static thread_local std::vector<std::wstring>* opened = nullptr;
    static thread_local HWND main = nullptr;
    std::vector<std::wstring> boxes;
    opened = &boxes;
    main = form.Handle();
    const UINT_PTR timer = SetTimer(nullptr, 0, 20, [](HWND, UINT, UINT_PTR, DWORD) {
        EnumThreadWindows(
            GetCurrentThreadId(),
            [](HWND window, LPARAM) -> BOOL {
                if (window != main && IsWindowVisible(window)) {
                    opened->push_back(win::WindowText(window));
                    PostMessageW(window, WM_CLOSE, 0, 0);
                }
                return TRUE;
            },
            0);
    });
    for (const auto& [message, key] : keys) {
        PostMessageW(GetFocus(), message, key, message == WM_SYSCHAR ? (1 << 29) : 0);
    }
    const DWORD until = GetTickCount() + 300;
    MSG message;
    while (GetTickCount() < until) {
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            if (IsWindow(form.Handle()) && IsDialogMessageW(form.Handle(), &message)) continue;
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
        Sleep(5);
    }
    KillTimer(nullptr, timer);
    return boxes;
}

TEST_F(ConversionThroughTheWindowTest, KeyboardHasNoDefaultOrCancelButton) {
    ShowWindow(form.Handle(), SW_SHOWNORMAL);
    SetForegroundWindow(form.Handle());
    EXPECT_EQ(GetFocus(), form.Button3);  // the first tab stop

    SetFocus(form.Button4);
    EXPECT_TRUE(PumpKeys(form, {{WM_KEYDOWN, VK_ESCAPE}}).empty());
    EXPECT_TRUE(IsWindow(form.Handle()));

    // Enter presses the focused button only: here the destination picker,
    // which has no source yet; never the conversion.
    EXPECT_EQ(PumpKeys(form, {{WM_KEYDOWN, VK_RETURN}}), std::vector<std::wstring>{L"エラー"});

    SetFocus(form.Button1);
    EXPECT_EQ(PumpKeys(form, {{WM_KEYDOWN, VK_RETURN}}), std::vector<std::wstring>{L"エラー"});

    // Alt+C is the close button's access key.
    EXPECT_TRUE(PumpKeys(form, {{WM_SYSCHAR, 'c'}}).empty());
    EXPECT_FALSE(IsWindow(form.Handle()));
}

}  // namespace
}  // namespace kartovo

namespace kartovo {
namespace {

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

TEST_F(FileChoiceTest, PickersTakeATypedNameOrChangeNothing) {
    test::TempDir dir;
    const std::wstring source = (dir / "typed.vcf").native();  // need not exist
    std::wstring title;

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

    // Cancelling either changes nothing.
    for (HWND button : {form.Button3, form.Button4}) {
        test::RunWithModal([&] { return static_cast<int>(SendMessageW(button, BM_CLICK, 0, 0)); },
                           InFileDialog(title, L""));
        EXPECT_EQ(win::WindowText(form.Edit1), source);
        EXPECT_EQ(win::WindowText(form.Edit2), (dir / "chosen.csv").native());
    }
}

}  // namespace
}  // namespace kartovo
