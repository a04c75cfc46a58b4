#pragma once
// The main window's layout, in pixels at 120 pixels per inch (where the
// window font's text is 16 pixels high); the window scales it once when it
// is created.

#include <cstddef>
#include <iterator>
#include <string_view>

namespace kartovo::layout {

inline constexpr int kDesignDpi = 120;
inline constexpr int kDesignTextHeight = 16;

inline constexpr int kClientWidth = 937;
inline constexpr int kClientHeight = 656;
inline constexpr unsigned long kBackground = 0x00FDEFAE;  // COLORREF: a pale sky blue

struct FontStyle {
    const wchar_t* face;  // nullptr: the window font
    int height;
    int charset;
};

inline constexpr FontStyle kWindowFont{L"Tahoma", -13, 1 /* DEFAULT_CHARSET */};
inline constexpr FontStyle kMeiryo20{L"メイリオ", -20, 128 /* SHIFTJIS_CHARSET */};
inline constexpr FontStyle kTahoma20{L"Tahoma", -20, 1 /* DEFAULT_CHARSET */};
inline constexpr FontStyle kMeiryo13{L"メイリオ", -13, 0 /* ANSI_CHARSET */};
inline constexpr FontStyle kInherit{nullptr, 0, 0};

enum class Kind { Label, Edit, Button, CloseButton, RichEdit };

struct Control {
    std::string_view name;
    Kind kind;
    int left, top, width, height;
    const wchar_t* caption;  // nullptr: filled in by the window (empty fields, usage text, notice)
    FontStyle font;
    int tabOrder;  // -1: none
    bool tabStop;
};

// In creation order. Labels size themselves to their text; their width and
// height here are what that gives at 120 pixels per inch.
inline constexpr Control kControls[] = {
    {"Label1", Kind::Label, 11, 11, 140, 30, L"変換元ファイル", kMeiryo20, -1, false},
    {"Label2", Kind::Label, 11, 49, 140, 30, L"変換先ファイル", kMeiryo20, -1, false},
    {"Label3", Kind::Label, 541, 629, 398, 16, nullptr, kInherit, -1, false},
    {"BitBtn1", Kind::CloseButton, 773, 92, 151, 45, L"閉じる(&C)", kMeiryo20, 4, true},
    {"Edit1", Kind::Edit, 159, 11, 724, 32, L"", kTahoma20, 3, false},
    {"Edit2", Kind::Edit, 159, 49, 724, 32, L"", kTahoma20, 5, false},
    {"Button1", Kind::Button, 405, 92, 140, 53, L"変換", kMeiryo20, 2, true},
    {"Button3", Kind::Button, 891, 11, 33, 26, L"...", kInherit, 0, true},
    {"Button4", Kind::Button, 891, 48, 33, 27, L"...", kInherit, 1, true},
    {"Button2", Kind::Button, 21, 104, 212, 33, L"ブラウザでGoogleの連絡先を開く", kMeiryo13, 6, false},
    {"RichEdit1", Kind::RichEdit, 16, 151, 913, 466, nullptr, kInherit, 7, false},
};

// The place of a control in kControls. Used in constant expressions, where
// a name that is not there stops the build.
constexpr std::size_t IndexOf(std::string_view name) {
    for (std::size_t i = 0; i < std::size(kControls); ++i) {
        if (kControls[i].name == name) return i;
    }
    throw "no control of that name";
}

}  // namespace kartovo::layout
