#pragma once
// The main window. It owns all the program's state: its controls, the two
// dialog objects that hold the chosen paths, and (through Converter) the
// work fields of a conversion run.

#include <windows.h>

#include <array>
#include <filesystem>
#include <functional>
#include <string>

#include "Converter.h"
#include "FileDialog.h"
#include "Host.h"
#include "Layout.h"
#include "Win32.h"

namespace kartovo {

class TForm1 : public Host, public Converter {
public:
    TForm1();
    ~TForm1() override;
    TForm1(const TForm1&) = delete;
    TForm1& operator=(const TForm1&) = delete;

    // Creates the window and its controls, scaled to the screen, hidden.
    void Create();
    HWND Handle() const { return window_; }

    TFileDialog OpenDialog1;
    TFileDialog SaveDialog1;
    HWND BitBtn1 = nullptr;
    HWND Edit1 = nullptr;
    HWND Edit2 = nullptr;
    HWND Label1 = nullptr;
    HWND Label2 = nullptr;
    HWND Button1 = nullptr;
    HWND Button3 = nullptr;
    HWND Button4 = nullptr;
    HWND Button2 = nullptr;
    HWND RichEdit1 = nullptr;
    HWND Label3 = nullptr;

    // Closing the window ends the program; tests that make several windows
    // turn this off.
    bool EndsProgram = true;

    void Button3Click(HWND sender);
    void Button4Click(HWND sender);
    void Button1Click(HWND sender);
    void FormCreate();
    void Button2Click(HWND sender);
    void WMDropFiles(HDROP drop);

    // How Button2Click hands the contacts page to the shell; tests replace it.
    std::function<void(HWND owner, const wchar_t* verb, const wchar_t* file, int show)> OpenWithShell;

    // Host: what a conversion run needs of the window.
    bool SourceFieldEmpty() const override;
    bool DestinationFieldEmpty() const override;
    std::filesystem::path SourcePath() const override { return OpenDialog1.FileName; }
    std::filesystem::path DestinationPath() const override { return SaveDialog1.FileName; }
    int ShowMessage(MessageKind kind, std::string_view text, MessageButtons buttons) override;

    // Handles one message of the main window; failures propagate to the
    // window procedure, which shows them.
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);

    // The scale from the 120-pixels-per-inch layout, as numerator and
    // denominator (the window font's text height and 16).
    int ScaleNumerator() const { return scaleNumerator_; }
    int ScaleDenominator() const { return scaleDenominator_; }

private:
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

    void CreateControls();
    void SetSource(const std::filesystem::path& path);
    HFONT FontFor(const layout::FontSpec& wanted);  // made once per face, height and charset, scaled
    void OnCommand(WORD id, WORD code, HWND control);
    LRESULT OnColorStatic(HDC dc, HWND control);
    void DrawCloseButton(const DRAWITEMSTRUCT& item);
    int Scale(int value) const { return MulDiv(value, scaleNumerator_, scaleDenominator_); }

    HWND window_ = nullptr;
    HWND focus_ = nullptr;  // the control to give the focus back to on activation
    int scaleNumerator_ = 16;
    int scaleDenominator_ = 16;
    win::Brush background_;
    win::Font windowFont_;
    std::array<const layout::FontSpec*, 4> fontSpecs_{};
    std::array<win::Font, 4> controlFonts_;
    win::Bitmap closeGlyph_;
    std::array<HWND, 11> controls_{};  // in creation order
};

}  // namespace kartovo
