#pragma once
// The only unit of the conversion that talks to the file system.

#include <filesystem>
#include <string>
#include <string_view>

namespace kartovo {

// True when the path exists and is not a folder.
bool IsExistingFile(const std::filesystem::path& path);

// The whole file, read while others may read it but not write it.
// Fails with "ファイル %s は開けません。 %s ".
std::string ReadWholeFile(const std::filesystem::path& path);

// Creates or empties the file and writes the text. Fails with
// "ファイル "%s" を作成できません。%s" when the file cannot be created, and
// with "ストリームへの書き込みエラー" when the writing fails.
void WriteWholeFile(const std::filesystem::path& path, std::string_view text);

// A native path or system text (UTF-16 on Windows, bytes meant as UTF-8
// elsewhere) as CP932 text; characters without a CP932 form, and bytes that
// are no UTF-8, show as "?".
std::string NativeToCp932(std::basic_string_view<std::filesystem::path::value_type> native);

// The path made absolute, as CP932 text; characters without a CP932 form
// show as "?".
std::string PathForMessage(const std::filesystem::path& path);

// The system's text for an error code, as CP932, without trailing blanks,
// control characters and periods.
std::string SystemErrorText(int code);

// A name for the safe write's working file beside the destination: short
// and of one length whatever the destination is called, so that a name near
// the system's limit can still be written, and different on every call and
// in every process. The file is still created exclusively.
std::filesystem::path::string_type WorkingFileName();

// Drops trailing blanks, control characters and periods.
std::string TrimErrorText(std::string text);

}  // namespace kartovo
