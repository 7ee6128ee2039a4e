#pragma once

#include <QChar>

namespace kv7 {

// The glyph the OEM "Terminal" font draws for a byte: code page 437,
// including its pictures for the control codes (1 as U+263A, 4 as U+2666).
QChar Cp437Glyph(unsigned char byte);

} // namespace kv7
