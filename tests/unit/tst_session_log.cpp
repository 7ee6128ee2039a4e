// The session log's promise: every line plain ASCII, and read back into the
// exact bytes of each direction; a write that fails stops it once and keeps
// what was written.
#include "log/SessionLog.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <algorithm>
#include <csignal>
#include <unistd.h>

using namespace kv7;

namespace {

// The entries of a log file, and every line parsed.
QList<LogEntry> ReadBack(const QString &path, bool *allParsed)
{
    QFile file(path);
    QList<LogEntry> entries;
    *allParsed = file.open(QIODevice::ReadOnly);
    while (*allParsed && !file.atEnd()) {
        const QByteArray line = file.readLine();
        const std::optional<LogEntry> entry = ParseLogLine(line);
        const bool ascii = std::all_of(line.cbegin(), line.cend() - 1, [](char c) { return c >= 32 && c <= 126; });
        *allParsed = entry && line.endsWith('\n') && ascii;
        if (entry)
            entries << *entry;
    }
    return entries;
}

} // namespace

class TestSessionLog : public QObject {
    Q_OBJECT
private slots:
    void linesReadBackExactly_data()
    {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<int>("mark"); // 0: malformed
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QByteArray>("port"); // kv7-run's, one log for several ports
        QTest::newRow("a frame") << QByteArray("2026-12-08 16:40:01.123 > <1>GV <4>") << int('>') << QByteArray("\x01GV \x04") << QByteArray();
        QTest::newRow("'<' itself") << QByteArray("2026-12-08 16:40:01.123 < a<60>b\n") << int('<') << QByteArray("a<b") << QByteArray();
        QTest::newRow("high bytes") << QByteArray("2026-12-08 16:40:01.123 < <255><127>~") << int('<') << QByteArray("\xff\x7f~") << QByteArray();
        QTest::newRow("an event") << QByteArray("2026-12-08 16:40:01.123 * COM1 closed") << int('*') << QByteArray("COM1 closed") << QByteArray();
        QTest::newRow("empty") << QByteArray("2026-12-08 16:40:01.123 > ") << int('>') << QByteArray() << QByteArray();
        QTest::newRow("a bare '<'") << QByteArray("2026-12-08 16:40:01.123 > <1") << 0 << QByteArray() << QByteArray();
        QTest::newRow("code past 255") << QByteArray("2026-12-08 16:40:01.123 > <256>") << 0 << QByteArray() << QByteArray();
        QTest::newRow("no number") << QByteArray("2026-12-08 16:40:01.123 > <>") << 0 << QByteArray() << QByteArray();
        QTest::newRow("a port") << QByteArray("2026-12-08 16:40:01.123 COM3 > <1>") << int('>') << QByteArray("\x01") << QByteArray("COM3");
        QTest::newRow("a path with a space") << QByteArray("2026-12-08 16:40:01.123 /dev/a<32>b * x") << int('*') << QByteArray("x") << QByteArray("/dev/a b");
        QTest::newRow("a port, no mark") << QByteArray("2026-12-08 16:40:01.123 COM3 x") << 0 << QByteArray() << QByteArray();
        QTest::newRow("unknown mark") << QByteArray("2026-12-08 16:40:01.123 ? x") << 0 << QByteArray() << QByteArray();
        QTest::newRow("bad time") << QByteArray("2026-13-08 16:40:01.123 > x") << 0 << QByteArray() << QByteArray();
    }
    void linesReadBackExactly()
    {
        QFETCH(QByteArray, line);
        QFETCH(int, mark);
        QFETCH(QByteArray, bytes);
        QFETCH(QByteArray, port);
        const std::optional<LogEntry> entry = ParseLogLine(line);
        QCOMPARE(entry.has_value(), mark != 0);
        if (!entry)
            return;
        QCOMPARE(int(entry->mark), mark);
        QCOMPARE(entry->bytes, bytes);
        QCOMPARE(entry->port, port);
        QCOMPARE(LogLine(*entry), line.endsWith('\n') ? line : line + '\n');
    }

    // Every byte value each way, through the file, appended to at a second
    // start: the bytes of each direction come back as they went.
    void fileReadsBackIntoTheBytes()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("session.log"));
        QByteArray all;
        for (int b = 0; b < 256; ++b)
            all += char(b);
        for (const char *header : {"first", "second"}) {
            SessionLog log;
            QVERIFY(log.Open(path, QString::fromLatin1(header)).isEmpty());
            log.Sent(all.left(100));
            log.Received(all);
            log.Sent(all.mid(100));
            log.Event(QStringLiteral("µ <&>"));
        }
        bool parsed = false;
        const QList<LogEntry> entries = ReadBack(path, &parsed);
        QVERIFY(parsed);
        QByteArray sent, received, events;
        for (const LogEntry &e : entries)
            (e.mark == SentMark ? sent : e.mark == ReceivedMark ? received : events) += e.bytes + '|';
        QCOMPARE(sent, all.left(100) + '|' + all.mid(100) + '|' + all.left(100) + '|' + all.mid(100) + '|');
        QCOMPARE(received, all + '|' + all + '|');
        QCOMPARE(QString::fromUtf8(events), QStringLiteral("first|µ <&>|second|µ <&>|"));
    }

    // A log whose reader went away (a full disk fails the same way): one
    // report, the log closed, the lines before it kept.
    void failedWriteStopsTheLogOnce()
    {
        std::signal(SIGPIPE, SIG_IGN);
        int fds[2];
        QCOMPARE(::pipe(fds), 0);
        SessionLog log;
        QStringList failures;
        log.onFailure = [&failures](const QString &, const QString &why) { failures << why; };
        QVERIFY(log.Open(QStringLiteral("/proc/self/fd/%1").arg(fds[1]), QStringLiteral("start")).isEmpty());
        ::close(fds[1]);
        log.Sent("\x01GV \x04");
        char kept[128] = {};
        QVERIFY(::read(fds[0], kept, sizeof kept) > 0);
        QVERIFY(ParseLogLine(QByteArray(kept).split('\n').value(1)));
        ::close(fds[0]);
        log.Sent("lost");
        log.Received("lost too");
        QCOMPARE(failures, QStringList{qt_error_string(EPIPE)});
        QVERIFY(!log.IsOpen());

        QTemporaryDir dir;
        QCOMPARE(log.Open(dir.path(), QStringLiteral("a folder")), qt_error_string(EISDIR));
        QCOMPARE(failures.size(), 1);
    }
};

QTEST_GUILESS_MAIN(TestSessionLog)
#include "tst_session_log.moc"
