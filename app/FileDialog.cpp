#include "FileDialog.h"

#include <algorithm>

namespace kartovo {
namespace {

// Room for the longest path Windows accepts, so long names come back whole.
constexpr std::size_t kPathCapacity = 32768;

}  // namespace

TFileDialog::TFileDialog(Kind dialogKind, std::wstring title, std::wstring filter, std::wstring defaultExt)
    : kind(dialogKind), Title(std::move(title)), Filter(std::move(filter)), DefaultExt(std::move(defaultExt)) {}

OPENFILENAMEW TFileDialog::Settings(HWND owner, std::wstring& buffer, std::wstring& filter) const {
    // The system wants the filter's parts separated by zeros, ending in two.
    filter = Filter;
    std::replace(filter.begin(), filter.end(), L'|', L'\0');
    filter.append(2, L'\0');

    buffer.assign(kPathCapacity, L'\0');
    const std::wstring& proposed = FileName.native();
    std::copy_n(proposed.begin(), std::min(proposed.size(), kPathCapacity - 1), buffer.begin());

    OPENFILENAMEW settings{};
    settings.lStructSize = sizeof settings;
    settings.hwndOwner = owner;
    settings.lpstrFilter = filter.c_str();
    settings.nFilterIndex = FilterIndex;
    settings.lpstrFile = buffer.data();
    settings.nMaxFile = static_cast<DWORD>(buffer.size());
    settings.lpstrTitle = Title.c_str();
    settings.lpstrDefExt = DefaultExt.empty() ? nullptr : DefaultExt.c_str();
    // No existence checks and no overwrite prompt: the conversion run tells
    // the user what became of a path, and asks before replacing a file.
    // The process's current folder stays where it was: a folder left
    // current would keep its drive (a USB stick) from being removed.
    settings.Flags = OFN_EXPLORER | OFN_HIDEREADONLY | OFN_ENABLESIZING | OFN_NOCHANGEDIR;
    return settings;
}

bool TFileDialog::Execute(HWND owner) {
    std::wstring buffer;
    std::wstring filter;
    OPENFILENAMEW settings = Settings(owner, buffer, filter);
    const BOOL chosen = kind == Kind::Open ? GetOpenFileNameW(&settings) : GetSaveFileNameW(&settings);
    if (!chosen) return false;
    FileName = std::filesystem::path(buffer.c_str());
    FilterIndex = settings.nFilterIndex;
    return true;
}

}  // namespace kartovo
