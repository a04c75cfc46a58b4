#pragma once
// The system's fixed texts, spelled as CP932 bytes: narrow literals are UTF-8
// in GCC, and every text the conversion keeps or writes is CP932.
// Each constant's UTF-8 form stands in the comment above it; a test checks
// that the two agree.

#include <string_view>

namespace kartovo::texts {

// ファイルを指定して下さい
inline constexpr std::string_view kSpecifyFile = "\x83t\x83@\x83" "C\x83\x8b\x82\xf0\x8ew\x92\xe8\x82\xb5\x82\xc4\x89\xba\x82\xb3\x82\xa2";
// ファイルを上書きしますか
inline constexpr std::string_view kOverwriteQuestion = "\x83t\x83@\x83" "C\x83\x8b\x82\xf0\x8f\xe3\x8f\x91\x82\xab\x82\xb5\x82\xdc\x82\xb7\x82\xa9";
// 処理を中止しました
inline constexpr std::string_view kCancelled = "\x8f\x88\x97\x9d\x82\xf0\x92\x86\x8e~\x82\xb5\x82\xdc\x82\xb5\x82\xbd";
// 件の連絡先を変換しました
inline constexpr std::string_view kConvertedSuffix = "\x8c\x8f\x82\xcc\x98" "A\x97\x8d\x90\xe6\x82\xf0\x95\xcf\x8a\xb7\x82\xb5\x82\xdc\x82\xb5\x82\xbd";
// ファイル %s は開けません。 %s 
inline constexpr std::string_view kCannotOpenFormat = "\x83t\x83@\x83" "C\x83\x8b %s \x82\xcd\x8aJ\x82\xaf\x82\xdc\x82\xb9\x82\xf1\x81" "B %s ";
// ファイル "%s" を作成できません。%s
inline constexpr std::string_view kCannotCreateFormat = "\x83t\x83@\x83" "C\x83\x8b \"%s\" \x82\xf0\x8d\xec\x90\xac\x82\xc5\x82\xab\x82\xdc\x82\xb9\x82\xf1\x81" "B%s";
// ストリームへの書き込みエラー
inline constexpr std::string_view kWriteError = "\x83X\x83g\x83\x8a\x81[\x83\x80\x82\xd6\x82\xcc\x8f\x91\x82\xab\x8d\x9e\x82\xdd\x83G\x83\x89\x81[";
// リストのインデックスが範囲を超えています (%d)
inline constexpr std::string_view kListIndexFormat = "\x83\x8a\x83X\x83g\x82\xcc\x83" "C\x83\x93\x83" "f\x83" "b\x83N\x83X\x82\xaa\x94\xcd\x88\xcd\x82\xf0\x92\xb4\x82\xa6\x82\xc4\x82\xa2\x82\xdc\x82\xb7 (%d)";
// "フリガナ","氏名","敬称","郵便番号","住所1","住所2","連名1","連名2","連名3","連名4"
inline constexpr std::string_view kHeaderRow = "\"\x83t\x83\x8a\x83K\x83i\",\"\x8e\x81\x96\xbc\",\"\x8ch\x8f\xcc\",\"\x97X\x95\xd6\x94\xd4\x8d\x86\",\"\x8fZ\x8f\x8a" "1\",\"\x8fZ\x8f\x8a" "2\",\"\x98" "A\x96\xbc" "1\",\"\x98" "A\x96\xbc" "2\",\"\x98" "A\x96\xbc" "3\",\"\x98" "A\x96\xbc" "4\"";
// 　
inline constexpr std::string_view kIdeographicSpace = "\x81@";
// 〒
inline constexpr std::string_view kPostalMark = "\x81\xa7";
// －
inline constexpr std::string_view kFullwidthHyphen = "\x81|";
// 様
inline constexpr std::string_view kDefaultHonorific = "\x97l";
// 配偶者印刷:
inline constexpr std::string_view kSpouseMarker = "\x94z\x8b\xf4\x8e\xd2\x88\xf3\x8d\xfc:";
// 子ども印刷:
inline constexpr std::string_view kChildrenMarker = "\x8eq\x82\xc7\x82\xe0\x88\xf3\x8d\xfc:";
// 先に変換元ファイルを指定して下さい
inline constexpr std::string_view kChooseSourceFirst = "\x90\xe6\x82\xc9\x95\xcf\x8a\xb7\x8c\xb3\x83t\x83@\x83" "C\x83\x8b\x82\xf0\x8ew\x92\xe8\x82\xb5\x82\xc4\x89\xba\x82\xb3\x82\xa2";
// メモリが足りません
inline constexpr std::string_view kOutOfMemory = "\x83\x81\x83\x82\x83\x8a\x82\xaa\x91\xab\x82\xe8\x82\xdc\x82\xb9\x82\xf1";

inline constexpr std::string_view kEndOfCard = "END:VCARD";
inline constexpr std::string_view kSpouseLabel = "_$!<Spouse>!$_";
inline constexpr std::string_view kChildLabel = "_$!<Child>!$_";
inline constexpr std::string_view kEscapedLineBreak = "\\n";

}  // namespace kartovo::texts
