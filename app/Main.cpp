#include "Main.h"

#include "ErrorDisplay.h"
#include "Failure.h"
#include "LossReport.h"
#include "MessageBox.h"
#include "ReplaceExtension.h"
#include "TemplateFile.h"
#include "Texts.h"
#include "WideText.h"

namespace kartovo {
namespace {

constexpr wchar_t kClassName[] = L"TForm1";
constexpr DWORD kStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN;
constexpr DWORD kExStyle = WS_EX_APPWINDOW | WS_EX_CONTROLPARENT;

// The plain address: Windows and Wine alike open it in the default browser,
// where a "URL:" in front makes Wine take "URL" for the scheme and open nothing.
constexpr wchar_t kContactsPage[] = L"https://contacts.google.com";

constexpr int kButton1 = TForm1::ControlId("Button1");
constexpr int kButton2 = TForm1::ControlId("Button2");
constexpr int kButton3 = TForm1::ControlId("Button3");
constexpr int kButton4 = TForm1::ControlId("Button4");
constexpr int kBitBtn1 = TForm1::ControlId("BitBtn1");

// The save dialog's file types: one per built-in layout, in their order,
// then the one that asks for a template. Every layout's file is a .csv.
std::wstring LayoutFilter() {
    std::wstring filter;
    for (const Layout& layout : BuiltInLayouts()) filter += win::Utf8ToWide(layout.title) + L"|*.csv|";
    return filter + L"テンプレートに合わせる...|*.csv";
}

}  // namespace

TForm1::TForm1()
    : Converter(static_cast<Host&>(*this)),
      OpenDialog1(TFileDialog::Kind::Open, L"Gmailからエクスポートしたvcfファイルを選んで下さい", L"vCard|*.vcf", L""),
      SaveDialog1(TFileDialog::Kind::Save, L"保存先を選んで下さい", LayoutFilter(), L"csv"),
      OpenDialog2(TFileDialog::Kind::Open, L"テンプレートのCSVファイルを選んで下さい", L"CSVファイル|*.csv", L""),
      OpenWithShell([](HWND owner, const wchar_t* verb, const wchar_t* file, int show) {
          ShellExecuteW(owner, verb, file, nullptr, nullptr, show);
      }) {
    Lost.KeepAtMost(kShownLostContacts);
}

TForm1::~TForm1() {
    if (Handle() != nullptr) DestroyWindow(Handle());
}

void TForm1::Create() {
    win::RegisterWindowClass(kClassName, &WindowProc, nullptr, L"MAINICON");
    background_.Reset(CreateSolidBrush(layout::kBackground));
    MakeScale();

    RECT frame{0, 0, Scale(layout::kClientWidth), Scale(layout::kClientHeight)};
    AdjustWindowRectEx(&frame, kStyle, FALSE, kExStyle);
    const int width = frame.right - frame.left;
    const int height = frame.bottom - frame.top;
    const int left = (GetSystemMetrics(SM_CXSCREEN) - width) / 2;
    const int top = (GetSystemMetrics(SM_CYSCREEN) - height) / 2;
    BaseWindow::Create(kExStyle, kClassName, L"Kartovo", kStyle, RECT{left, top, left + width, top + height}, nullptr);
}

LRESULT TForm1::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    if (dialogKeys_.Handle(Handle(), message, wParam, lParam)) return 0;
    switch (message) {
        case WM_CREATE:
            CreateControls();
            FormCreate();
            return 0;
        case WM_ERASEBKGND: {
            RECT client;
            GetClientRect(Handle(), &client);
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
            OnCommand(LOWORD(wParam), HIWORD(wParam));
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
    return Default(message, wParam, lParam);
}

void TForm1::OnFailure() { ShowCurrentFailure(); }

void TForm1::OnCommand(int id, WORD code) {
    switch (id) {
        case IDOK: {
            // Enter, from a control that does not take it itself. There is no
            // default button: Enter presses only the focused push button.
            const int focused = GetDlgCtrlID(GetFocus());
            const bool button = focused == kButton1 || focused == kButton2 || focused == kButton3 ||
                                focused == kButton4 || focused == kBitBtn1;
            if (button && IsChild(Handle(), GetFocus())) SendMessageW(GetFocus(), BM_CLICK, 0, 0);
            return;
        }
        case IDCANCEL:  // Escape: there is no cancel button, and nothing happens
            return;
        default:
            break;
    }
    if (code != BN_CLICKED) return;
    switch (id) {
        case kButton1: return Button1Click(Button1);
        case kButton2: return Button2Click(Button2);
        case kButton3: return Button3Click(Button3);
        case kButton4: return Button4Click(Button4);
        case kBitBtn1: PostMessageW(Handle(), WM_CLOSE, 0, 0); return;
        default: return;
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
    if (OpenDialog1.Execute(Handle())) SetSource(OpenDialog1.FileName);
}

void TForm1::Button4Click(HWND /*sender*/) {
    if (GetWindowTextLengthW(Edit1) == 0) {
        ShowMessage(MessageKind::Error, texts::kChooseSourceFirst, MessageButtons::Ok);
        return;
    }
    const DWORD previous = SaveDialog1.FilterIndex;
    if (!SaveDialog1.Execute(Handle())) return;
    // The destination chosen stands, whatever becomes of the layout.
    SetWindowTextW(Edit2, SaveDialog1.FileName.c_str());
    UseChosenLayout(previous);
}

void TForm1::UseChosenLayout(DWORD previous) {
    const std::vector<Layout>& layouts = BuiltInLayouts();
    const DWORD chosen = SaveDialog1.FilterIndex;
    if (chosen >= 1 && chosen <= layouts.size()) {
        UseLayout(layouts[chosen - 1]);
        return;
    }
    // The template is read now, so that a file that is no form is refused
    // here, while the choice can still be made again.
    const bool templateType = chosen == layouts.size() + 1;
    if (!templateType || !OpenDialog2.Execute(Handle())) {
        SaveDialog1.FilterIndex = previous;  // the layout stays as it was
        return;
    }
    try {
        UseLayout(LoadTemplate(OpenDialog2.FileName));
    } catch (...) {
        SaveDialog1.FilterIndex = previous;
        ShowMessageBox(Handle(), MessageKind::Error, win::Utf8ToWide(CurrentFailureText()), MessageButtons::Ok);
    }
}

void TForm1::Button1Click(HWND /*sender*/) { mainprocess(); }

void TForm1::FormCreate() { DragAcceptFiles(Handle(), TRUE); }

void TForm1::Button2Click(HWND /*sender*/) { OpenWithShell(Handle(), L"open", kContactsPage, SW_SHOWNORMAL); }

void TForm1::WMDropFiles(HDROP drop) {
    const win::DropHandle owned(drop);
    // Disabled, the window is behind a message box or a file dialog, which
    // is about the paths shown now: a drop must not change them under it.
    if (!IsWindowEnabled(Handle())) return;
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
    return ShowMessageBox(Handle(), kind, text, buttons);
}

void TForm1::ShowConverted(std::string_view countMessage, const std::vector<RunNote>& notes,
                           const LossReport& lost) {
    std::string text = WithNotes(Cp932ToUtf8(countMessage), notes);
    if (lost.Count() != 0) text += "\n\n" + LossReportText(lost, kShownLostContacts);
    const MessageKind kind = Warns(notes, lost) ? MessageKind::Warning : MessageKind::Information;
    ShowMessageBox(Handle(), kind, win::Utf8ToWide(text), MessageButtons::Ok);
}

int RunMessageLoop(TForm1& form) {
    MSG message;
    BOOL got;
    while ((got = GetMessageW(&message, nullptr, 0, 0)) != 0) {
        if (got == -1) return 0;
        // Tab, the access keys and Enter work as in a dialog.
        if (form.Handle() != nullptr && IsDialogMessageW(form.Handle(), &message)) continue;
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    return static_cast<int>(message.wParam);
}

}  // namespace kartovo
