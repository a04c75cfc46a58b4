#include "MessageBoxLayout.h"

#include <algorithm>

namespace kartovo {
namespace {

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
            fit = std::clamp(fit, 1, length);
            // A character beyond U+FFFF, such as the 𠮷 of a name in the
            // loss report, is two units that stay together.
            if (fit < length && IS_HIGH_SURROGATE(run[static_cast<std::size_t>(fit) - 1])) fit += fit == 1 ? 1 : -1;
            out.append(run.substr(0, static_cast<std::size_t>(fit)));
            run.remove_prefix(static_cast<std::size_t>(fit));
            if (!run.empty()) out.append(L"\r\n");
        }
    }
    return out;
}

}  // namespace

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

MessageBoxLayout LayOutMessageBox(HFONT font, std::wstring_view text, const std::vector<const wchar_t*>& captions,
                                  int maxTextWidth) {
    const win::WindowDc dc;
    const win::Selected selected(dc.get(), font);
    const DialogUnits units = UnitsOf(dc.get());
    MessageBoxLayout layout;

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
    for (const wchar_t* label : captions) {
        RECT caption{};
        DrawTextW(dc.get(), label, -1, &caption, DT_CALCRECT | DT_SINGLELINE);
        buttonWidth = std::max(buttonWidth, static_cast<int>(caption.right) + 2 * units.X(kButtonPadding));
    }
    const int buttonHeight = units.Y(kButtonHeight);
    const int spacing = units.X(kButtonSpacing);
    const int count = static_cast<int>(captions.size());
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

}  // namespace kartovo
