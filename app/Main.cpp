#include "Main.h"

#include <richedit.h>
#include <shellapi.h>

#include <stdexcept>

#include "ErrorDisplay.h"
#include "MessageBox.h"
#include "ReplaceExtension.h"
#include "Texts.h"
#include "resource.h"

namespace kartovo {
namespace {

constexpr wchar_t kClassName[] = L"TForm1";
constexpr DWORD kStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN;
constexpr DWORD kExStyle = WS_EX_APPWINDOW | WS_EX_CONTROLPARENT;
constexpr int kFirstControlId = 100;  // clear of IDOK and IDCANCEL, which Enter and Escape send
constexpr COLORREF kTransparentGlyph = RGB(128, 128, 0);
constexpr int kGlyphSize = 18;
constexpr int kGlyphSpacing = 4;

HINSTANCE Instance() { return GetModuleHandleW(nullptr); }

void RegisterWindowClass(WNDPROC procedure) {
    static const bool registered = [procedure] {
        WNDCLASSEXW windowClass{};
        windowClass.cbSize = sizeof windowClass;
        windowClass.style = CS_DBLCLKS;
        windowClass.lpfnWndProc = procedure;
        windowClass.hInstance = Instance();
        windowClass.hIcon = static_cast<HICON>(LoadImageW(Instance(), L"MAINICON", IMAGE_ICON, GetSystemMetrics(SM_CXICON),
                                                          GetSystemMetrics(SM_CYICON), LR_SHARED));
        windowClass.hIconSm = static_cast<HICON>(LoadImageW(Instance(), L"MAINICON", IMAGE_ICON,
                                                            GetSystemMetrics(SM_CXSMICON),
                                                            GetSystemMetrics(SM_CYSMICON), LR_SHARED));
        windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
        windowClass.lpszClassName = kClassName;
        return RegisterClassExW(&windowClass) != 0;
    }();
    if (!registered) throw std::runtime_error("RegisterClassExW failed");
}

// The rich-text control lives in a system library loaded on first use.
const wchar_t* RichEditClass() {
    if (LoadLibraryW(L"Msftedit.dll") != nullptr) return MSFTEDIT_CLASS;
    if (LoadLibraryW(L"Riched20.dll") != nullptr) return RICHEDIT_CLASSW;
    throw std::runtime_error("no rich edit control");
}

std::wstring LoadResourceString(UINT id) {
    const wchar_t* text = nullptr;
    const int length = LoadStringW(Instance(), id, reinterpret_cast<wchar_t*>(&text), 0);
    return length > 0 ? std::wstring(text, static_cast<std::size_t>(length)) : std::wstring();
}

std::wstring LoadUsageText() {
    const HRSRC found = FindResourceW(Instance(), MAKEINTRESOURCEW(IDR_USAGE_TEXT), MAKEINTRESOURCEW(10) /* RT_RCDATA */);
    if (found == nullptr) return {};
    const HGLOBAL loaded = LoadResource(Instance(), found);
    const void* data = loaded != nullptr ? LockResource(loaded) : nullptr;
    if (data == nullptr) return {};
    std::wstring text =
        win::Utf8ToWide(std::string_view(static_cast<const char*>(data), SizeofResource(Instance(), found)));
    // The file's final line break would show as an empty last line.
    while (!text.empty() && (text.back() == L'\n' || text.back() == L'\r')) text.pop_back();
    return text;
}

// The text height of a font on the screen, as the layout measures it.
int TextHeight(HDC dc, HFONT font) {
    const HGDIOBJ old = SelectObject(dc, font);
    TEXTMETRICW metrics{};
    GetTextMetricsW(dc, &metrics);
    SelectObject(dc, old);
    return metrics.tmHeight;
}

SIZE TextExtent(HDC dc, HFONT font, const std::wstring& text) {
    const HGDIOBJ old = SelectObject(dc, font);
    SIZE size{};
    GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &size);
    TEXTMETRICW metrics{};
    GetTextMetricsW(dc, &metrics);
    SelectObject(dc, old);
    size.cy = metrics.tmHeight;
    return size;
}

HFONT MakeFont(const wchar_t* face, int height, int charset) {
    LOGFONTW font{};
    font.lfHeight = height;
    font.lfWeight = FW_NORMAL;
    font.lfCharSet = static_cast<BYTE>(charset);
    font.lfOutPrecision = OUT_DEFAULT_PRECIS;
    font.lfClipPrecision = CLIP_DEFAULT_PRECIS;
    font.lfQuality = DEFAULT_QUALITY;
    font.lfPitchAndFamily = DEFAULT_PITCH | FF_DONTCARE;
    lstrcpynW(font.lfFaceName, face, LF_FACESIZE);
    HFONT made = CreateFontIndirectW(&font);
    if (made == nullptr) throw std::runtime_error("CreateFontIndirectW failed");
    return made;
}

class ScreenDc {
public:
    ScreenDc() : dc_(GetDC(nullptr)) {}
    ~ScreenDc() { ReleaseDC(nullptr, dc_); }
    ScreenDc(const ScreenDc&) = delete;
    ScreenDc& operator=(const ScreenDc&) = delete;
    HDC get() const { return dc_; }

private:
    HDC dc_;
};

// Owns a drop handle and finishes the drop on every way out.
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

constexpr wchar_t kContactsPage[] = L"URL:https://contacts.google.com";

}  // namespace

TForm1::TForm1()
    : Converter(static_cast<Host&>(*this)),
      OpenDialog1(TFileDialog::Kind::Open, L"Gmailからエクスポートしたvcfファイルを選んで下さい", L"vCard|*.vcf", L""),
      SaveDialog1(TFileDialog::Kind::Save, L"保存先を選んで下さい", L"CSVファイル|*.csv", L"csv"),
      OpenWithShell([](HWND owner, const wchar_t* verb, const wchar_t* file, int show) {
          ShellExecuteW(owner, verb, file, nullptr, nullptr, show);
      }) {}

TForm1::~TForm1() {
    if (window_ != nullptr) DestroyWindow(window_);
}

void TForm1::Create() {
    RegisterWindowClass(&TForm1::WindowProc);
    background_.Reset(CreateSolidBrush(layout::kBackground));

    // The window font follows the screen's resolution; the rest follows the
    // text height that font then has, so that text and layout stay in step
    // even where the font is substituted.
    ScreenDc screen;
    const int dpi = GetDeviceCaps(screen.get(), LOGPIXELSY);
    windowFont_.Reset(MakeFont(layout::kWindowFont.face, MulDiv(layout::kWindowFont.height, dpi, layout::kDesignDpi),
                               layout::kWindowFont.charset));
    const int textHeight = TextHeight(screen.get(), windowFont_.get());
    scaleNumerator_ = textHeight > 0 ? textHeight : layout::kDesignTextHeight;
    scaleDenominator_ = layout::kDesignTextHeight;

    RECT frame{0, 0, Scale(layout::kClientWidth), Scale(layout::kClientHeight)};
    AdjustWindowRectEx(&frame, kStyle, FALSE, kExStyle);
    const int width = frame.right - frame.left;
    const int height = frame.bottom - frame.top;
    const int left = (GetSystemMetrics(SM_CXSCREEN) - width) / 2;
    const int top = (GetSystemMetrics(SM_CYSCREEN) - height) / 2;
    if (CreateWindowExW(kExStyle, kClassName, L"Kartovo", kStyle, left, top, width, height, nullptr, nullptr,
                        Instance(), this) == nullptr) {
        throw std::runtime_error("CreateWindowExW failed");
    }
}

LRESULT CALLBACK TForm1::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        auto* self = static_cast<TForm1*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
        self->window_ = window;
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    }
    auto* self = reinterpret_cast<TForm1*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (self == nullptr) return DefWindowProcW(window, message, wParam, lParam);
    if (message == WM_NCDESTROY) {
        SetWindowLongPtrW(window, GWLP_USERDATA, 0);
        self->window_ = nullptr;
        return DefWindowProcW(window, message, wParam, lParam);
    }
    try {
        return self->HandleMessage(message, wParam, lParam);
    } catch (...) {
        // No failure leaves a window procedure: it is shown, and the window
        // goes on.
        ShowCurrentFailure();
        return 0;
    }
}

LRESULT TForm1::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_CREATE:
            CreateControls();
            FormCreate();
            return 0;
        case WM_ERASEBKGND: {
            RECT client;
            GetClientRect(window_, &client);
            FillRect(reinterpret_cast<HDC>(wParam), &client, background_.get());
            return 1;
        }
        case WM_CTLCOLORSTATIC:
            return OnColorStatic(reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam));
        case WM_CTLCOLORBTN:
            return reinterpret_cast<LRESULT>(background_.get());
        case WM_DRAWITEM: {
            const auto& item = *reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
            if (item.hwndItem != BitBtn1) break;
            DrawCloseButton(item);
            return TRUE;
        }
        case WM_COMMAND:
            OnCommand(LOWORD(wParam), HIWORD(wParam), reinterpret_cast<HWND>(lParam));
            return 0;
        case WM_ACTIVATE:
            if (LOWORD(wParam) == WA_INACTIVE) {
                const HWND focused = GetFocus();
                if (focused != nullptr && IsChild(window_, focused)) focus_ = focused;
            } else if (HIWORD(wParam) == 0) {  // not while minimised
                SetFocus(focus_ != nullptr ? focus_ : Button3);
            }
            return 0;
        case WM_DROPFILES:
            WMDropFiles(reinterpret_cast<HDROP>(wParam));
            return 0;
        case WM_DESTROY:
            if (EndsProgram) PostQuitMessage(0);
            return 0;
        default:
            break;
    }
    return DefWindowProcW(window_, message, wParam, lParam);
}

void TForm1::CreateControls() {
    ScreenDc screen;
    const wchar_t* richEditClass = RichEditClass();

    int index = 0;
    for (const layout::Control& entry : layout::kControls) {
        const HFONT font = entry.font.face != nullptr ? FontFor(entry.font) : windowFont_.get();

        const wchar_t* className = L"STATIC";
        DWORD style = WS_CHILD | WS_VISIBLE | (entry.tabStop ? WS_TABSTOP : 0);
        DWORD exStyle = 0;
        std::wstring text = entry.caption != nullptr ? entry.caption : L"";
        switch (entry.kind) {
            case layout::Kind::Label:
                style |= SS_LEFT | SS_NOPREFIX;
                if (entry.caption == nullptr) text = LoadResourceString(IDS_COPYRIGHT);
                break;
            case layout::Kind::Edit:
                className = L"EDIT";
                style |= ES_LEFT | ES_AUTOHSCROLL | ES_READONLY;
                exStyle |= WS_EX_CLIENTEDGE;
                break;
            case layout::Kind::Button:
                className = L"BUTTON";
                style |= BS_PUSHBUTTON;
                break;
            case layout::Kind::CloseButton:
                className = L"BUTTON";
                style |= BS_OWNERDRAW;
                break;
            case layout::Kind::RichEdit:
                className = richEditClass;
                style |= ES_MULTILINE | ES_READONLY | WS_BORDER;
                break;
        }

        int width = Scale(entry.width);
        int height = Scale(entry.height);
        if (entry.kind == layout::Kind::Label) {
            const SIZE size = TextExtent(screen.get(), font, text);  // labels size themselves to their text
            width = size.cx;
            height = size.cy;
        }
        const HWND control = CreateWindowExW(exStyle, className, entry.kind == layout::Kind::RichEdit ? L"" : text.c_str(),
                                             style, Scale(entry.left), Scale(entry.top), width, height, window_,
                                             reinterpret_cast<HMENU>(static_cast<INT_PTR>(kFirstControlId + index)),
                                             Instance(), nullptr);
        if (control == nullptr) throw std::runtime_error("CreateWindowExW failed for a control");
        SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
        controls_[static_cast<std::size_t>(index)] = control;
        ++index;
    }

    Label1 = controls_[0];
    Label2 = controls_[1];
    Label3 = controls_[2];
    BitBtn1 = controls_[3];
    Edit1 = controls_[4];
    Edit2 = controls_[5];
    Button1 = controls_[6];
    Button3 = controls_[7];
    Button4 = controls_[8];
    Button2 = controls_[9];
    RichEdit1 = controls_[10];

    // The rich-text box shows plain text in the system's window colour.
    SendMessageW(RichEdit1, EM_SETBKGNDCOLOR, 1, 0);
    SendMessageW(RichEdit1, EM_SETTEXTMODE, TM_PLAINTEXT, 0);
    const std::wstring usage = LoadUsageText();
    SetWindowTextW(RichEdit1, usage.c_str());

    closeGlyph_.Reset(static_cast<HBITMAP>(LoadImageW(Instance(), L"BBCLOSE", IMAGE_BITMAP, 0, 0, LR_DEFAULTCOLOR)));

    // Tab order is the stacking order of the controls.
    HWND previous = HWND_TOP;
    for (int order = 0; order < static_cast<int>(std::size(layout::kControls)); ++order) {
        for (std::size_t i = 0; i < std::size(layout::kControls); ++i) {
            if (layout::kControls[i].tabOrder != order) continue;
            SetWindowPos(controls_[i], previous, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
            previous = controls_[i];
        }
    }
}

HFONT TForm1::FontFor(const layout::FontSpec& wanted) {
    const auto same = [&wanted](const layout::FontSpec* made) {
        return made->height == wanted.height && made->charset == wanted.charset && lstrcmpW(made->face, wanted.face) == 0;
    };
    for (std::size_t i = 0; i < fontSpecs_.size(); ++i) {
        if (fontSpecs_[i] != nullptr && same(fontSpecs_[i])) return controlFonts_[i].get();
        if (fontSpecs_[i] == nullptr) {
            fontSpecs_[i] = &wanted;
            controlFonts_[i].Reset(MakeFont(wanted.face, Scale(wanted.height), wanted.charset));
            return controlFonts_[i].get();
        }
    }
    throw std::runtime_error("too many fonts");
}

LRESULT TForm1::OnColorStatic(HDC dc, HWND control) {
    if (control == Edit1 || control == Edit2) {
        // Read-only edits ask here too; they keep the system's window colour.
        SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
        SetBkColor(dc, GetSysColor(COLOR_WINDOW));
        return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_WINDOW));
    }
    // The labels have no background of their own and show the window's.
    const bool black = control == Label1 || control == Label2;
    SetTextColor(dc, black ? RGB(0, 0, 0) : GetSysColor(COLOR_WINDOWTEXT));
    SetBkMode(dc, TRANSPARENT);
    return reinterpret_cast<LRESULT>(background_.get());
}

void TForm1::OnCommand(WORD id, WORD code, HWND control) {
    if (control == nullptr) {
        // Enter and Escape arrive as IDOK and IDCANCEL. There is no default
        // or cancel button: Enter presses only the focused push button, and
        // Escape does nothing.
        if (id == IDOK) {
            const HWND focused = GetFocus();
            if (focused == Button1 || focused == Button2 || focused == Button3 || focused == Button4 ||
                focused == BitBtn1) {
                SendMessageW(focused, BM_CLICK, 0, 0);
            }
        }
        return;
    }
    if (code != BN_CLICKED) return;
    if (control == Button1) {
        Button1Click(control);
    } else if (control == Button3) {
        Button3Click(control);
    } else if (control == Button4) {
        Button4Click(control);
    } else if (control == Button2) {
        Button2Click(control);
    } else if (control == BitBtn1) {
        PostMessageW(window_, WM_CLOSE, 0, 0);
    }
}

void TForm1::DrawCloseButton(const DRAWITEMSTRUCT& item) {
    const HDC dc = item.hDC;
    RECT frame = item.rcItem;
    const bool pushed = (item.itemState & ODS_SELECTED) != 0;
    const bool disabled = (item.itemState & ODS_DISABLED) != 0;
    DrawFrameControl(dc, &frame, DFC_BUTTON, DFCS_BUTTONPUSH | (pushed ? DFCS_PUSHED : 0));

    const std::wstring caption = win::WindowText(item.hwndItem);
    const HGDIOBJ oldFont = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(item.hwndItem, WM_GETFONT, 0, 0)));
    RECT textSize{0, 0, 0, 0};
    DrawTextW(dc, caption.c_str(), -1, &textSize, DT_CALCRECT | DT_SINGLELINE);

    // Glyph and caption side by side, centred together.
    const int glyph = Scale(kGlyphSize);
    const int spacing = Scale(kGlyphSpacing);
    const int contentWidth = glyph + spacing + (textSize.right - textSize.left);
    const int shift = pushed ? 1 : 0;
    const int left = (item.rcItem.left + item.rcItem.right - contentWidth) / 2 + shift;
    const int middle = (item.rcItem.top + item.rcItem.bottom) / 2 + shift;

    if (closeGlyph_.get() != nullptr) {
        const HDC source = CreateCompatibleDC(dc);
        const HGDIOBJ oldBitmap = SelectObject(source, closeGlyph_.get());
        GdiTransparentBlt(dc, left, middle - glyph / 2, glyph, glyph, source, disabled ? kGlyphSize : 0, 0, kGlyphSize,
                       kGlyphSize, kTransparentGlyph);
        SelectObject(source, oldBitmap);
        DeleteDC(source);
    }

    RECT textBox{left + glyph + spacing, middle - (textSize.bottom - textSize.top) / 2, 0, 0};
    textBox.right = textBox.left + (textSize.right - textSize.left);
    textBox.bottom = textBox.top + (textSize.bottom - textSize.top);
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, disabled ? GetSysColor(COLOR_GRAYTEXT) : RGB(0, 0, 0));
    DrawTextW(dc, caption.c_str(), -1, &textBox,
              DT_SINGLELINE | ((item.itemState & ODS_NOACCEL) != 0 ? DT_HIDEPREFIX : 0));
    SelectObject(dc, oldFont);

    if ((item.itemState & ODS_FOCUS) != 0 && (item.itemState & ODS_NOFOCUSRECT) == 0) {
        RECT focus = item.rcItem;
        InflateRect(&focus, -4, -4);
        DrawFocusRect(dc, &focus);
    }
}

void TForm1::SetSource(const std::filesystem::path& path) {
    OpenDialog1.FileName = path;
    SetWindowTextW(Edit1, OpenDialog1.FileName.c_str());
    // A new source always replaces the destination with the derived one.
    SaveDialog1.FileName = ReplaceExtension(path, ".csv");
    SetWindowTextW(Edit2, SaveDialog1.FileName.c_str());
}

void TForm1::Button3Click(HWND /*sender*/) {
    if (OpenDialog1.Execute(window_)) SetSource(OpenDialog1.FileName);
}

void TForm1::Button4Click(HWND /*sender*/) {
    if (GetWindowTextLengthW(Edit1) == 0) {
        ShowMessage(MessageKind::Error, texts::kChooseSourceFirst, MessageButtons::Ok);
        return;
    }
    if (SaveDialog1.Execute(window_)) SetWindowTextW(Edit2, SaveDialog1.FileName.c_str());
}

void TForm1::Button1Click(HWND /*sender*/) { mainprocess(); }

void TForm1::FormCreate() { DragAcceptFiles(window_, TRUE); }

void TForm1::Button2Click(HWND /*sender*/) { OpenWithShell(window_, L"open", kContactsPage, SW_SHOWNORMAL); }

void TForm1::WMDropFiles(HDROP drop) {
    const DropHandle owned(drop);
    const UINT count = DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
    for (UINT i = 0; i < count; ++i) {
        // Asking for the length first takes long paths whole.
        const UINT length = DragQueryFileW(drop, i, nullptr, 0);
        std::wstring path(static_cast<std::size_t>(length) + 1, L'\0');
        const UINT copied = DragQueryFileW(drop, i, path.data(), length + 1);
        path.resize(copied);
        SetSource(std::filesystem::path(path));
    }
}

bool TForm1::SourceFieldEmpty() const { return GetWindowTextLengthW(Edit1) == 0; }
bool TForm1::DestinationFieldEmpty() const { return GetWindowTextLengthW(Edit2) == 0; }

int TForm1::ShowMessage(MessageKind kind, std::string_view text, MessageButtons buttons) {
    return ShowMessageBox(window_, kind, text, buttons);
}

}  // namespace kartovo
