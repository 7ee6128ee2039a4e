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
    return entry.when.toString(TimeFormat).toLatin1() + ' ' + entry.mark + ' ' + EscapeBytes(entry.bytes) + '\n';
}

std::optional<LogEntry> ParseLogLine(QByteArray line)
{
    if (line.endsWith('\n'))
        line.chop(1);
    if (line.size() < TimeLength + 3 || line[TimeLength] != ' ' || line[TimeLength + 2] != ' ')
        return std::nullopt;
    LogEntry entry;
    entry.when = QDateTime::fromString(QString::fromLatin1(line.left(TimeLength)), TimeFormat);
    entry.mark = line[TimeLength + 1];
    const std::optional<QByteArray> bytes = UnescapeBytes(line.mid(TimeLength + 3));
    if (!entry.when.isValid() || !bytes ||
        (entry.mark != SentMark && entry.mark != ReceivedMark && entry.mark != EventMark))
        return std::nullopt;
    entry.bytes = *bytes;
    return entry;
}

} // namespace kv7
