#pragma once

#include <QByteArray>
#include <QChar>
#include <QString>

namespace kv7 {

// The glyph the OEM "Terminal" font draws for a byte: code page 437,
// including its pictures for the control codes (1 as U+263A, 4 as U+2666).
QChar Cp437Glyph(unsigned char byte);

// The text the pane shows for `bytes`: every byte as its glyph, except that
// a CR LF pair is a line break, written as `lineBreak`.
QString Cp437Text(const QByteArray &bytes, QStringView lineBreak);

} // namespace kv7
