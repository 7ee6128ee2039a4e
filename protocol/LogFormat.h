#pragma once

#include <QByteArray>
#include <QDateTime>

#include <optional>

namespace kv7 {

// One line of the session log: local time to the millisecond with its
// offset from UTC, a mark, and the bytes in the reply line's notation:
//
//     2026-12-08 16:40:01.123+01:00 > <1>GV <4>
//
// The offset tells apart the two instants of the hour repeated when summer
// time ends; a line written before it was (no offset) reads as local time.
//
// A program that drives several ports (kv7-run) names the port between the
// time and the mark: "2026-12-08 16:40:01.123+01:00 COM3 > <1>GV <4>". In
// the name a space, ">" and "*" are written as codes too, so that it never
// reads as a lone mark.
//
// The marks: ">" bytes the window wrote, "<" bytes it received, "*" an
// event (a port opened, an upload's verdict, a message shown), whose text
// is written the same way. Every byte outside 32..126, and "<" itself, is
// written as "<code>", so a line is plain ASCII and reads back exactly.
struct LogEntry {
    QDateTime when;
    char mark = 0;
    QByteArray bytes; // for "*", the event's text in UTF-8
    QByteArray port;  // empty for the window's one port
};

constexpr char SentMark = '>';
constexpr char ReceivedMark = '<';
constexpr char EventMark = '*';

QByteArray EscapeBytes(const QByteArray &bytes);
// Nothing when `text` is not what EscapeBytes writes.
std::optional<QByteArray> UnescapeBytes(const QByteArray &text);

// The line, with its line feed.
QByteArray LogLine(const LogEntry &entry);
// One line, with or without its line feed; nothing when malformed.
std::optional<LogEntry> ParseLogLine(QByteArray line);

} // namespace kv7
