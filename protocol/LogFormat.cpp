#include "protocol/LogFormat.h"

#include <QTimeZone>

#include <cstdlib>

namespace kv7 {

namespace {

const QString TimeFormat = QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz");
const QString DateFormat = QStringLiteral("yyyy-MM-dd");
const QString ClockFormat = QStringLiteral("HH:mm:ss.zzz");
constexpr int DateLength = 10;
constexpr int TimeLength = 23;  // "2026-12-08 16:40:01.120"
constexpr int OffsetLength = 6; // "+01:00"

// "+01:00": without it an entry in the hour repeated when summer time ends
// could be either of two instants.
QByteArray OffsetText(int seconds)
{
    const int minutes = std::abs(seconds) / 60;
    return (seconds < 0 ? "-" : "+") + QByteArray::number(minutes / 60).rightJustified(2, '0') + ':' +
           QByteArray::number(minutes % 60).rightJustified(2, '0');
}

// The seconds east of UTC that "+hh:mm" or "-hh:mm" names.
std::optional<int> ParseOffset(const QByteArray &text)
{
    if (text.size() != OffsetLength || (text[0] != '+' && text[0] != '-') || text[3] != ':')
        return std::nullopt;
    for (const int i : {1, 2, 4, 5})
        if (text[i] < '0' || text[i] > '9')
            return std::nullopt;
    const int hours = text.mid(1, 2).toInt();
    const int minutes = text.mid(4, 2).toInt();
    if (hours > 14 || minutes > 59)
        return std::nullopt;
    return (text[0] == '-' ? -1 : 1) * (hours * 3600 + minutes * 60);
}

bool IsMark(char ch)
{
    return ch == SentMark || ch == ReceivedMark || ch == EventMark;
}

// A port's name as one word that is never a lone mark: besides what
// EscapeBytes writes as codes, a space (it would end the name early) and
// the marks ">" and "*" too.
QByteArray PortToken(const QByteArray &name)
{
    QByteArray out;
    for (const char ch : name)
        out += ch == ' ' || IsMark(ch) ? '<' + QByteArray::number(int(ch)) + '>' : EscapeBytes(QByteArray(1, ch));
    return out;
}

} // namespace

QByteArray EscapeBytes(const QByteArray &bytes)
{
    QByteArray out;
    out.reserve(bytes.size() + bytes.size() / 4);
    for (const char ch : bytes) {
        const auto code = static_cast<unsigned char>(ch);
        if (code >= 32 && code <= 126 && ch != '<') {
            out += ch;
        } else {
            out += '<';
            out += QByteArray::number(code);
            out += '>';
        }
    }
    return out;
}

std::optional<QByteArray> UnescapeBytes(const QByteArray &text)
{
    QByteArray out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] != '<') {
            out += text[i];
            continue;
        }
        const qsizetype close = text.indexOf('>', i + 1);
        bool number = false;
        const int code = close > i + 1 && close <= i + 4 ? text.mid(i + 1, close - i - 1).toInt(&number) : -1;
        if (!number || code < 0 || code > 255)
            return std::nullopt;
        out += char(code);
        i = close;
    }
    return out;
}

QByteArray LogLine(const LogEntry &entry)
{
    QByteArray port;
    if (!entry.port.isEmpty())
        port = PortToken(entry.port) + ' ';
    return entry.when.toString(TimeFormat).toLatin1() +
           OffsetText(entry.when.offsetFromUtc()) + ' ' + port + entry.mark + ' ' + EscapeBytes(entry.bytes) + '\n';
}

std::optional<LogEntry> ParseLogLine(QByteArray line)
{
    if (line.endsWith('\n'))
        line.chop(1);
    if (line.size() < TimeLength + 3 || line[DateLength] != ' ')
        return std::nullopt;
    LogEntry entry;
    const QDate date = QDate::fromString(QString::fromLatin1(line.left(DateLength)), DateFormat);
    const QTime time = QTime::fromString(QString::fromLatin1(line.mid(DateLength + 1, TimeLength - DateLength - 1)), ClockFormat);
    qsizetype at = TimeLength;
    if (line[at] == ' ') { // written before the offset was: local time
        entry.when = QDateTime(date, time);
    } else {
        const std::optional<int> offset = ParseOffset(line.mid(at, OffsetLength));
        if (!offset)
            return std::nullopt;
        entry.when = QDateTime(date, time, QTimeZone(*offset));
        at += OffsetLength;
    }
    if (line.size() < at + 3 || line[at] != ' ')
        return std::nullopt;
    ++at;
    // The first word is the mark, or a port's name before it; a name is
    // never written as a lone mark.
    const qsizetype end = line.indexOf(' ', at);
    if (end < 0)
        return std::nullopt;
    if (end - at != 1 || !IsMark(line[at])) {
        const std::optional<QByteArray> port = end > at ? UnescapeBytes(line.mid(at, end - at)) : std::nullopt;
        if (!port)
            return std::nullopt;
        entry.port = *port;
        at = end + 1;
    }
    if (line.size() < at + 2 || line[at + 1] != ' ' || !IsMark(line[at]))
        return std::nullopt;
    entry.mark = line[at];
    const std::optional<QByteArray> bytes = UnescapeBytes(line.mid(at + 2));
    if (!date.isValid() || !time.isValid() || !entry.when.isValid() || !bytes)
        return std::nullopt;
    entry.bytes = *bytes;
    return entry;
}

} // namespace kv7
