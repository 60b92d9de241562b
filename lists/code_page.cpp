// Code page conversions through one table per code page: the system converts each of the 256 bytes
// once, and every text is then converted byte by byte with the table and back with its inverse. So
// the two directions agree exactly (a text goes back to the very bytes that show it), nothing is
// ever replaced by a look-alike, and a cell costs no system call.
#include "lists/code_page.h"
#include "lists/utf8.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <utility>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#else
#include <iconv.h>
#endif

namespace {

constexpr char32_t Undefined = 0xFFFD;

struct CodePageTable {
    int codePage = 0;
    bool usable = false;
    std::array<char32_t, 256> toUnicode{};                       // Undefined for bytes the page lacks
    std::vector<std::pair<char32_t, std::uint8_t>> fromUnicode;  // sorted; the lowest byte for a character
};

#ifdef _WIN32

// Only single-byte code pages: a lead byte of a double-byte page means nothing alone.
bool fillTable(CodePageTable& table) {
    CPINFO info{};
    const auto page = static_cast<UINT>(table.codePage);
    if (!IsValidCodePage(page) || !GetCPInfo(page, &info) || info.MaxCharSize != 1) return false;
    for (int b = 0; b < 256; ++b) {
        const char byte = static_cast<char>(b);
        wchar_t wide[2];
        const int got = MultiByteToWideChar(page, MB_ERR_INVALID_CHARS, &byte, 1, wide, 2);
        if (got == 1 && (wide[0] < 0xD800 || wide[0] > 0xDFFF))
            table.toUnicode[b] = wide[0];
        else
            table.toUnicode[b] = Undefined;
    }
    return true;
}

#else

// iconv_open reports failure as the handle (iconv_t)-1.
bool opened(iconv_t handle) { return reinterpret_cast<std::intptr_t>(handle) != -1; }

bool fillTable(CodePageTable& table) {
    char name[32];
    std::snprintf(name, sizeof name, "CP%d", table.codePage);
    iconv_t decoder = iconv_open("UTF-32LE", name);
    if (!opened(decoder)) return false;
    iconv_t encoder = iconv_open(name, "UTF-8");  // the way back must exist too
    if (!opened(encoder)) {
        iconv_close(decoder);
        return false;
    }
    iconv_close(encoder);
    bool singleByte = true;
    for (int b = 0; b < 256; ++b) {
        char byte = static_cast<char>(b);
        unsigned char wide[8];
        char* in = &byte;
        char* out = reinterpret_cast<char*>(wide);
        std::size_t inLeft = 1;
        std::size_t outLeft = sizeof wide;
        iconv(decoder, nullptr, nullptr, nullptr, nullptr);
        const std::size_t result = iconv(decoder, &in, &inLeft, &out, &outLeft);
        if (result == static_cast<std::size_t>(-1) && inLeft == 1 && errno == EINVAL) singleByte = false;
        if (result != static_cast<std::size_t>(-1) && inLeft == 0 && outLeft == sizeof wide - 4) {
            table.toUnicode[b] = static_cast<char32_t>(wide[0]) | (static_cast<char32_t>(wide[1]) << 8) |
                                 (static_cast<char32_t>(wide[2]) << 16) | (static_cast<char32_t>(wide[3]) << 24);
        } else {
            table.toUnicode[b] = Undefined;
        }
    }
    iconv_close(decoder);
    return singleByte;
}

#endif

// The table of a code page, made on first use; kept for the whole run.
const CodePageTable& tableFor(int codePage) {
    static std::vector<std::unique_ptr<CodePageTable>> tables;
    for (const auto& table : tables) {
        if (table->codePage == codePage) return *table;
    }
    auto table = std::make_unique<CodePageTable>();
    table->codePage = codePage;
    table->usable = codePage > 0 && fillTable(*table);
    if (table->usable) {
        for (int b = 0; b < 256; ++b) {
            const char32_t c = table->toUnicode[b];
            if (c != Undefined) table->fromUnicode.emplace_back(c, static_cast<std::uint8_t>(b));
        }
        // Stable: among bytes that show the same character the lowest stays first, and unique keeps it.
        std::stable_sort(table->fromUnicode.begin(), table->fromUnicode.end(),
                         [](const auto& a, const auto& b) { return a.first < b.first; });
        table->fromUnicode.erase(std::unique(table->fromUnicode.begin(), table->fromUnicode.end(),
                                             [](const auto& a, const auto& b) { return a.first == b.first; }),
                                 table->fromUnicode.end());
    }
    tables.push_back(std::move(table));
    return *tables.back();
}

}  // namespace

bool codePageAvailable(int codePage) { return tableFor(codePage).usable; }

std::string codePageToUtf8(int codePage, std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size() * 2);
    appendCodePageToUtf8(out, codePage, bytes);
    return out;
}

void appendCodePageToUtf8(std::string& out, int codePage, std::string_view bytes) {
    const CodePageTable& table = tableFor(codePage);
    for (const char byte : bytes) appendUtf8(out, table.toUnicode[static_cast<unsigned char>(byte)]);
}

bool utf8ToCodePage(int codePage, std::string_view utf8, std::string& out, std::string& why) {
    const CodePageTable& table = tableFor(codePage);
    out.clear();
    if (!table.usable) {
        why = std::string("code page ") + std::to_string(codePage) + " cannot be converted on this system";
        return false;
    }
    std::size_t at = 0;
    while (at < utf8.size()) {
        char32_t c;
        if (!nextUtf8(utf8, at, c)) {
            why = "not UTF-8 text";
            return false;
        }
        const auto found = std::lower_bound(table.fromUnicode.begin(), table.fromUnicode.end(), c,
                                            [](const auto& entry, char32_t wanted) { return entry.first < wanted; });
        if (found == table.fromUnicode.end() || found->first != c) {
            char code[16];
            std::snprintf(code, sizeof code, "U+%04X", static_cast<unsigned>(c));
            why = std::string("character ") + code + " is not in code page " + std::to_string(codePage);
            return false;
        }
        out += static_cast<char>(found->second);
    }
    return true;
}
