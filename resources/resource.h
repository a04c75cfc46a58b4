#pragma once
// Numeric resource IDs, shared by Kartovo.rc and the C++ code. Plain
// #defines only: windres reads this file too.
//
// The icon and the close-button glyph are named, not numbered: load them as
// L"MAINICON" and L"BBCLOSE". Never #define those two names here, or the
// preprocessor would turn the .rc's names into something else.

// The usage text: UTF-8, CRLF line ends, not NUL-terminated; take its length
// from SizeofResource.
#define IDR_USAGE_TEXT 101

// STRINGTABLE
#define IDS_COPYRIGHT 1
