#include "protocol/LogFormat.h"

namespace kv7 {

namespace {

const QString TimeFormat = QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz");
constexpr int TimeLength = 23;

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
    // A space inside the name would end it early.
    if (!entry.port.isEmpty())
        port = EscapeBytes(entry.port).replace(' ', "<32>") + ' ';
    return entry.when.toString(TimeFormat).toLatin1() + ' ' + port + entry.mark + ' ' + EscapeBytes(entry.bytes) + '\n';
}

std::optional<LogEntry> ParseLogLine(QByteArray line)
{
    if (line.endsWith('\n'))
        line.chop(1);
    if (line.size() < TimeLength + 3 || line[TimeLength] != ' ')
        return std::nullopt;
    LogEntry entry;
    entry.when = QDateTime::fromString(QString::fromLatin1(line.left(TimeLength)), TimeFormat);
    qsizetype at = TimeLength + 1;
    if (line[at + 1] != ' ') { // a port's name before the mark
        const qsizetype end = line.indexOf(' ', at);
        const std::optional<QByteArray> port = end > at ? UnescapeBytes(line.mid(at, end - at)) : std::nullopt;
        if (!port)
            return std::nullopt;
        entry.port = *port;
        at = end + 1;
    }
    if (line.size() < at + 2 || line[at + 1] != ' ')
        return std::nullopt;
    entry.mark = line[at];
    const std::optional<QByteArray> bytes = UnescapeBytes(line.mid(at + 2));
    if (!entry.when.isValid() || !bytes ||
        (entry.mark != SentMark && entry.mark != ReceivedMark && entry.mark != EventMark))
        return std::nullopt;
    entry.bytes = *bytes;
    return entry;
}

} // namespace kv7
