// The main window's controls: made from the layout, scaled, coloured, and
// the close button drawn.

#include <richedit.h>

#include "Main.h"
#include "WideText.h"
#include "resource.h"

namespace kartovo {
namespace {

constexpr COLORREF kTransparentGlyph = RGB(128, 128, 0);
constexpr int kGlyphSize = 18;
constexpr int kGlyphSpacing = 4;

// The rich-text control lives in a system library loaded on first use.
const wchar_t* RichEditClass() {
    if (LoadLibraryW(L"Msftedit.dll") != nullptr) return MSFTEDIT_CLASS;
    if (LoadLibraryW(L"Riched20.dll") != nullptr) return RICHEDIT_CLASSW;
    throw std::runtime_error("no rich edit control");
}

std::wstring LoadResourceString(UINT id) {
    const wchar_t* text = nullptr;
    const int length = LoadStringW(win::Instance(), id, reinterpret_cast<wchar_t*>(&text), 0);
    return length > 0 ? std::wstring(text, static_cast<std::size_t>(length)) : std::wstring();
}

std::wstring LoadUsageText() {
    const HRSRC found = FindResourceW(win::Instance(), MAKEINTRESOURCEW(IDR_USAGE_TEXT), MAKEINTRESOURCEW(10) /* RT_RCDATA */);
    if (found == nullptr) return {};
    const HGLOBAL loaded = LoadResource(win::Instance(), found);
    const void* data = loaded != nullptr ? LockResource(loaded) : nullptr;
    if (data == nullptr) return {};
    std::wstring text =
        win::Utf8ToWide(std::string_view(static_cast<const char*>(data), SizeofResource(win::Instance(), found)));
    // The file's final line break would show as an empty last line.
    while (!text.empty() && (text.back() == L'\n' || text.back() == L'\r')) text.pop_back();
    return text;
}

// A text's width on the screen in a font, and the font's text height, as
// the layout measures them.
SIZE TextExtent(HFONT font, const std::wstring& text) {
    const win::WindowDc screen;
    const win::Selected selected(screen.get(), font);
    SIZE size{};
    GetTextExtentPoint32W(screen.get(), text.c_str(), static_cast<int>(text.size()), &size);
    TEXTMETRICW metrics{};
    GetTextMetricsW(screen.get(), &metrics);
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

struct ControlClass {
    const wchar_t* name;
    DWORD style;
    DWORD exStyle;
};

ControlClass ClassOf(layout::Kind kind, const wchar_t* richEditClass) {
    switch (kind) {
        case layout::Kind::Label: return {L"STATIC", SS_LEFT | SS_NOPREFIX, 0};
        case layout::Kind::Edit: return {L"EDIT", ES_LEFT | ES_AUTOHSCROLL | ES_READONLY, WS_EX_CLIENTEDGE};
        case layout::Kind::Button: return {L"BUTTON", BS_PUSHBUTTON, 0};
        case layout::Kind::CloseButton: return {L"BUTTON", BS_OWNERDRAW, 0};
        case layout::Kind::RichEdit: break;
    }
    return {richEditClass, ES_MULTILINE | ES_READONLY | WS_BORDER, 0};
}

}  // namespace

void TForm1::MakeScale() {
    // The window font follows the screen's resolution; the rest follows the
    // text height that font then has, so that text and layout stay in step
    // even where the font is substituted.
    const win::WindowDc screen;
    const int dpi = GetDeviceCaps(screen.get(), LOGPIXELSY);
    windowFont_.Reset(MakeFont(layout::kWindowFont.face, MulDiv(layout::kWindowFont.height, dpi, layout::kDesignDpi),
                               layout::kWindowFont.charset));
    const int textHeight = TextExtent(windowFont_.get(), L"").cy;
    scaleNumerator_ = textHeight > 0 ? textHeight : layout::kDesignTextHeight;
    scaleDenominator_ = layout::kDesignTextHeight;
}

void TForm1::CreateControls() {
    for (std::size_t i = 0; i < std::size(layout::kControls); ++i) controls_[i] = CreateControl(i);
    BindControls();
    FillUsageText();
    closeGlyph_.Reset(static_cast<HBITMAP>(LoadImageW(win::Instance(), L"BBCLOSE", IMAGE_BITMAP, 0, 0, LR_DEFAULTCOLOR)));
    SetTabOrder();
}

HWND TForm1::CreateControl(std::size_t index) {
    static const wchar_t* const richEditClass = RichEditClass();
    const layout::Control& entry = layout::kControls[index];
    const HFONT font = entry.font.face != nullptr ? FontFor(entry.font) : windowFont_.get();
    const ControlClass kind = ClassOf(entry.kind, richEditClass);
    std::wstring text = entry.caption != nullptr ? entry.caption : L"";
    if (entry.kind == layout::Kind::Label && entry.caption == nullptr) text = LoadResourceString(IDS_COPYRIGHT);

    int width = Scale(entry.width);
    int height = Scale(entry.height);
    if (entry.kind == layout::Kind::Label) {
        const SIZE size = TextExtent(font, text);  // labels size themselves to their text
        width = size.cx;
        height = size.cy;
    }
    const DWORD style = WS_CHILD | WS_VISIBLE | (entry.tabStop ? WS_TABSTOP : 0) | kind.style;
    const HWND control = CreateWindowExW(
        kind.exStyle, kind.name, entry.kind == layout::Kind::RichEdit ? L"" : text.c_str(), style, Scale(entry.left),
        Scale(entry.top), width, height, Handle(),
        reinterpret_cast<HMENU>(static_cast<INT_PTR>(kFirstControlId + static_cast<int>(index))), win::Instance(),
        nullptr);
    if (control == nullptr) throw std::runtime_error("CreateWindowExW failed for a control");
    SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    return control;
}

void TForm1::BindControls() {
    // Each named member, bound by its name in the layout; a name missing
    // there stops the build, and every control of the layout has a member.
    struct Binding {
        HWND TForm1::*member;
        std::size_t index;
    };
    static constexpr Binding kBindings[] = {
        {&TForm1::Label1, layout::IndexOf("Label1")},   {&TForm1::Label2, layout::IndexOf("Label2")},
        {&TForm1::Label3, layout::IndexOf("Label3")},   {&TForm1::BitBtn1, layout::IndexOf("BitBtn1")},
        {&TForm1::Edit1, layout::IndexOf("Edit1")},     {&TForm1::Edit2, layout::IndexOf("Edit2")},
        {&TForm1::Button1, layout::IndexOf("Button1")}, {&TForm1::Button3, layout::IndexOf("Button3")},
        {&TForm1::Button4, layout::IndexOf("Button4")}, {&TForm1::Button2, layout::IndexOf("Button2")},
        {&TForm1::RichEdit1, layout::IndexOf("RichEdit1")},
    };
    static_assert(std::size(kBindings) == std::size(layout::kControls));
    for (const Binding& binding : kBindings) this->*binding.member = controls_[binding.index];
}

void TForm1::FillUsageText() {
    // Plain text in the system's window colour.
    SendMessageW(RichEdit1, EM_SETBKGNDCOLOR, 1, 0);
    SendMessageW(RichEdit1, EM_SETTEXTMODE, TM_PLAINTEXT, 0);
    const std::wstring usage = LoadUsageText();
    SetWindowTextW(RichEdit1, usage.c_str());
    // Escape does nothing in this window; in the usage text it would close it.
    win::KeepEscapeFrom(RichEdit1);
}

void TForm1::SetTabOrder() {
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

HFONT TForm1::FontFor(const layout::FontStyle& wanted) {
    const auto same = [&wanted](const layout::FontStyle* made) {
        return made->height == wanted.height && made->charset == wanted.charset && lstrcmpW(made->face, wanted.face) == 0;
    };
    for (std::size_t i = 0; i < fontStyles_.size(); ++i) {
        if (fontStyles_[i] != nullptr && same(fontStyles_[i])) return controlFonts_[i].get();
        if (fontStyles_[i] == nullptr) {
            fontStyles_[i] = &wanted;
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

void TForm1::DrawCloseButton(const DRAWITEMSTRUCT& item) {
    const HDC dc = item.hDC;
    RECT frame = item.rcItem;
    const bool pushed = (item.itemState & ODS_SELECTED) != 0;
    const bool disabled = (item.itemState & ODS_DISABLED) != 0;
    DrawFrameControl(dc, &frame, DFC_BUTTON, DFCS_BUTTONPUSH | (pushed ? DFCS_PUSHED : 0));

    const std::wstring caption = win::WindowText(item.hwndItem);
    const win::Selected font(dc, reinterpret_cast<HFONT>(SendMessageW(item.hwndItem, WM_GETFONT, 0, 0)));
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
        const win::MemoryDc source(dc);
        const win::Selected bitmap(source.get(), closeGlyph_.get());
        GdiTransparentBlt(dc, left, middle - glyph / 2, glyph, glyph, source.get(), disabled ? kGlyphSize : 0, 0,
                          kGlyphSize, kGlyphSize, kTransparentGlyph);
    }

    RECT textBox{left + glyph + spacing, middle - (textSize.bottom - textSize.top) / 2, 0, 0};
    textBox.right = textBox.left + (textSize.right - textSize.left);
    textBox.bottom = textBox.top + (textSize.bottom - textSize.top);
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, disabled ? GetSysColor(COLOR_GRAYTEXT) : RGB(0, 0, 0));
    DrawTextW(dc, caption.c_str(), -1, &textBox,
              DT_SINGLELINE | ((item.itemState & ODS_NOACCEL) != 0 ? DT_HIDEPREFIX : 0));

    if ((item.itemState & ODS_FOCUS) != 0 && (item.itemState & ODS_NOFOCUSRECT) == 0) {
        RECT focus = item.rcItem;
        InflateRect(&focus, -4, -4);
        DrawFocusRect(dc, &focus);
    }
}

}  // namespace kartovo
