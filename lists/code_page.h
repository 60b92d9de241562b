#pragma once
// Names and providers between an 8-bit code page (1251, 1252, ...) and UTF-8, for spreadsheets:
// iconv natively, MultiByteToWideChar and WideCharToMultiByte on Windows.

#include <string>
#include <string_view>

// True when this system can convert the code page both ways.
bool codePageAvailable(int codePage);

// 8-bit text to UTF-8. A byte the code page does not define becomes U+FFFD; the result is
// deterministic, so comparing it with a cell tells whether the cell was edited.
std::string codePageToUtf8(int codePage, std::string_view bytes);

// The same, appended to out: for callers that convert a cell per row into one buffer.
void appendCodePageToUtf8(std::string& out, int codePage, std::string_view bytes);

// UTF-8 text to the code page. False, with the reason in why, when the text is not UTF-8 or holds a
// character the code page lacks.
bool utf8ToCodePage(int codePage, std::string_view utf8, std::string& out, std::string& why);
