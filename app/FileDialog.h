#pragma once
// The open and save dialogs: their settings and the path each one holds.

#include <windows.h>

#include <commdlg.h>

#include <filesystem>
#include <string>

namespace kartovo {

class TFileDialog {
public:
    enum class Kind { Open, Save };

    TFileDialog(Kind kind, std::wstring title, std::wstring filter, std::wstring defaultExt);

    // Shows the dialog modally, proposing FileName and starting on the file
    // type FilterIndex. True when the user chose a file, which is then in
    // FileName, and its type in FilterIndex; cancelling changes nothing.
    bool Execute(HWND owner);

    // The settings Execute hands to the system, for `buffer` (which holds
    // the proposed name and receives the chosen one).
    OPENFILENAMEW Settings(HWND owner, std::wstring& buffer, std::wstring& filter) const;

    Kind kind;
    std::wstring Title;
    std::wstring Filter;      // description and pattern joined by "|": "vCard|*.vcf"
    std::wstring DefaultExt;  // without its dot; empty for none
    DWORD FilterIndex = 1;    // the file type, counted from 1 in Filter's pairs
    std::filesystem::path FileName;
};

}  // namespace kartovo
