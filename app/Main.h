#pragma once
// The main window. It owns all the program's state: its controls, the two
// dialog objects that hold the chosen paths, and (through Converter) the
// work fields of a conversion run.

#include <windows.h>

#include <array>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>

#include "BaseWindow.h"
#include "Converter.h"
#include "DialogKeys.h"
#include "FileDialog.h"
#include "Handles.h"
#include "Host.h"
#include "Layout.h"

namespace kartovo {

class TForm1 : public Host, public Converter, public win::BaseWindow<TForm1> {
public:
    TForm1();
    ~TForm1() override;
    TForm1(const TForm1&) = delete;
    TForm1& operator=(const TForm1&) = delete;

    // Creates the window and its controls, scaled to the screen, hidden.
    void Create();

    // The control ID of a control of the layout, by its name: its place in
    // creation order, clear of IDOK and IDCANCEL, which Enter and Escape send.
    static constexpr int ControlId(std::string_view name) {
        return kFirstControlId + static_cast<int>(layout::IndexOf(name));
    }

    TFileDialog OpenDialog1;
    // Its file types are the layouts, and last a user's template: the type
    // chosen is the layout of the next runs.
    TFileDialog SaveDialog1;
    TFileDialog OpenDialog2;  // the template, when its type is chosen
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
    // The count, and below it the first contacts that lost text, in a
    // warning box no taller than the screen.
    void ShowConverted(std::string_view countMessage, const std::vector<RunNote>& notes,
                       const LossReport& lost) override;

private:
    friend class win::BaseWindow<TForm1>;
    static constexpr int kFirstControlId = 100;

    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
    void OnFailure();
    void OnDestroyed() noexcept {}

    // Creating the controls (MainControls.cpp).
    void MakeScale();
    void CreateControls();
    HWND CreateControl(std::size_t index);
    void BindControls();
    void FillUsageText();
    void SetTabOrder();
    HFONT FontFor(const layout::FontStyle& wanted);  // made once per face, height and charset, scaled
    LRESULT OnColorStatic(HDC dc, HWND control);
    void DrawCloseButton(const DRAWITEMSTRUCT& item);
    int Scale(int value) const { return MulDiv(value, scaleNumerator_, scaleDenominator_); }

    void OnCommand(int id, WORD code);
    void SetSource(const std::filesystem::path& path);
    // Takes the file type chosen in SaveDialog1 as the layout; where none
    // comes of it, the type `previous` stays chosen.
    void UseChosenLayout(DWORD previous);

    win::DialogKeys dialogKeys_;
    int scaleNumerator_ = 16;  // the window font's text height over 16
    int scaleDenominator_ = 16;
    win::Brush background_;
    win::Font windowFont_;
    std::array<const layout::FontStyle*, 4> fontStyles_{};
    std::array<win::Font, 4> controlFonts_;
    win::Bitmap closeGlyph_;
    std::array<HWND, std::size(layout::kControls)> controls_{};  // in creation order
};

// Takes and dispatches the program's messages until WM_QUIT, whose exit
// code it returns. Tab, the access keys and Enter work as in a dialog.
int RunMessageLoop(TForm1& form);

}  // namespace kartovo
