#pragma once

#include <QtGlobal>

#include <optional>

// The input-method modes the program asks for, as plain data: whether the
// input method is open and which conversion mode it should take. The mode
// numbers and conversion flags are those of the classic input method manager,
// which the rest of the program is written against.
namespace ImeMode {

// Conversion-mode flags.
enum Conversion : quint32 {
    Native = 0x01,    // the language's own script (kana)
    Katakana = 0x02,
    FullShape = 0x08, // full-width characters
    Roman = 0x10,     // roman-letter input
};

struct Request
{
    bool open = false;
    // The conversion mode to set; empty: keep the one the input method has.
    std::optional<quint32> conversion;

    friend bool operator==(const Request &, const Request &) = default;
};

// 0, 2, 3 close; 1 and 4 full-width hiragana; 5 full-width katakana; 6
// half-width katakana; 7 full-width alphanumeric; 8 half-width alphanumeric;
// any other number opens and keeps the conversion mode.
Request forMode(int mode);

// The conversion mode after the request, given the one read before it.
quint32 conversionAfter(const Request &request, quint32 current);

} // namespace ImeMode
