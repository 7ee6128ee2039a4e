// The session log's promise: every line plain ASCII, and read back into the
// exact bytes of each direction; a write that fails stops it once and keeps
// what was written.
#include "log/SessionLog.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <algorithm>
#include <csignal>
#include <ctime>
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

// TZ set to `zone` for the scope, as the local time of the process.
class LocalZone {
public:
    explicit LocalZone(const QByteArray &zone) : m_old(qgetenv("TZ")), m_had(qEnvironmentVariableIsSet("TZ"))
    {
        qputenv("TZ", zone);
        ::tzset();
    }
    ~LocalZone()
    {
        if (m_had)
            qputenv("TZ", m_old);
        else
            qunsetenv("TZ");
        ::tzset();
    }
    LocalZone(const LocalZone &) = delete;
    LocalZone &operator=(const LocalZone &) = delete;

private:
    QByteArray m_old;
    bool m_had;
};

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
        QTest::newRow("a frame") << QByteArray("2026-12-08 16:40:01.123+01:00 > <1>GV <4>") << int('>') << QByteArray("\x01GV \x04") << QByteArray();
        QTest::newRow("'<' itself") << QByteArray("2026-12-08 16:40:01.123+01:00 < a<60>b\n") << int('<') << QByteArray("a<b") << QByteArray();
        QTest::newRow("high bytes") << QByteArray("2026-12-08 16:40:01.123+01:00 < <255><127>~") << int('<') << QByteArray("\xff\x7f~") << QByteArray();
        QTest::newRow("an event") << QByteArray("2026-12-08 16:40:01.123+01:00 * COM1 closed") << int('*') << QByteArray("COM1 closed") << QByteArray();
        QTest::newRow("empty") << QByteArray("2026-12-08 16:40:01.123+01:00 > ") << int('>') << QByteArray() << QByteArray();
        QTest::newRow("a bare '<'") << QByteArray("2026-12-08 16:40:01.123+01:00 > <1") << 0 << QByteArray() << QByteArray();
        QTest::newRow("code past 255") << QByteArray("2026-12-08 16:40:01.123+01:00 > <256>") << 0 << QByteArray() << QByteArray();
        QTest::newRow("no number") << QByteArray("2026-12-08 16:40:01.123+01:00 > <>") << 0 << QByteArray() << QByteArray();
        QTest::newRow("a port") << QByteArray("2026-12-08 16:40:01.123+01:00 COM3 > <1>") << int('>') << QByteArray("\x01") << QByteArray("COM3");
        QTest::newRow("a path with a space") << QByteArray("2026-12-08 16:40:01.123+01:00 /dev/a<32>b * x") << int('*') << QByteArray("x") << QByteArray("/dev/a b");
        QTest::newRow("a port, no mark") << QByteArray("2026-12-08 16:40:01.123+01:00 COM3 x") << 0 << QByteArray() << QByteArray();
        QTest::newRow("unknown mark") << QByteArray("2026-12-08 16:40:01.123+01:00 ? x") << 0 << QByteArray() << QByteArray();
        QTest::newRow("bad time") << QByteArray("2026-13-08 16:40:01.123+01:00 > x") << 0 << QByteArray() << QByteArray();
        QTest::newRow("west of UTC") << QByteArray("2026-12-08 16:40:01.123-03:30 > x") << int('>') << QByteArray("x") << QByteArray();
        QTest::newRow("UTC") << QByteArray("2026-12-08 16:40:01.123+00:00 < x") << int('<') << QByteArray("x") << QByteArray();
        QTest::newRow("offset without minutes") << QByteArray("2026-12-08 16:40:01.123+01 > x") << 0 << QByteArray() << QByteArray();
        QTest::newRow("offset past 14 h") << QByteArray("2026-12-08 16:40:01.123+15:00 > x") << 0 << QByteArray() << QByteArray();
        QTest::newRow("a port, nothing after") << QByteArray("2026-12-08 16:40:01.123+01:00 COM3") << 0 << QByteArray() << QByteArray();
        QTest::newRow("two spaces") << QByteArray("2026-12-08 16:40:01.123+01:00  > x") << 0 << QByteArray() << QByteArray();
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

    // kv7-run takes any device path, so a port's name may be any bytes but
    // NUL and a line feed: a name of one character must not read as the
    // mark, nor a mark as a name.
    void portNamesReadBack_data()
    {
        QTest::addColumn<QByteArray>("port"); // empty: the window's line, without one
        QTest::addColumn<QByteArray>("bytes");
        for (const char *name : {"A", ">", "*", "<", " ", "a b", "/dev/pts/3", "COM3", "", "> x", "*<", "<62>", "x\ny", "\xe9"})
            for (const char *bytes : {"", "> x", "<1>GV <4>", " "})
                QTest::addRow("'%s' '%s'", QByteArray(name).toPercentEncoding(" <>*/").constData(), bytes)
                    << QByteArray(name) << QByteArray(bytes);
    }
    void portNamesReadBack()
    {
        QFETCH(QByteArray, port);
        QFETCH(QByteArray, bytes);
        const QDateTime when(QDate(2026, 12, 8), QTime(16, 40, 1, 123));
        for (const char mark : {SentMark, ReceivedMark, EventMark}) {
            const QByteArray line = LogLine({when, mark, bytes, port});
            const std::optional<LogEntry> entry = ParseLogLine(line);
            QVERIFY2(entry, line.constData());
            QCOMPARE(entry->port, port);
            QCOMPARE(int(entry->mark), int(mark));
            QCOMPARE(entry->bytes, bytes);
            QCOMPARE(entry->when, when);
        }
    }

    // Each entry names its instant: the hour repeated when summer time ends
    // is written, and read back, as two.
    void timesReadBackAsTheirInstants_data()
    {
        QTest::addColumn<QByteArray>("zone");
        QTest::addColumn<QDateTime>("utc");
        QTest::addColumn<QByteArray>("written"); // the line's time
        const auto utc = [](int month, int day, int hour, int minute) {
            return QDateTime(QDate(2026, month, day), QTime(hour, minute, 1, 120), Qt::UTC);
        };
        QTest::newRow("Berlin, 02:30 the first time") << QByteArray("Europe/Berlin") << utc(10, 25, 0, 30) << QByteArray("2026-10-25 02:30:01.120+02:00");
        QTest::newRow("Berlin, 02:30 again") << QByteArray("Europe/Berlin") << utc(10, 25, 1, 30) << QByteArray("2026-10-25 02:30:01.120+01:00");
        QTest::newRow("Berlin, winter") << QByteArray("Europe/Berlin") << utc(12, 8, 15, 40) << QByteArray("2026-12-08 16:40:01.120+01:00");
        QTest::newRow("Berlin, just before the change") << QByteArray("Europe/Berlin") << utc(3, 29, 0, 59) << QByteArray("2026-03-29 01:59:01.120+01:00");
        QTest::newRow("Berlin, just after") << QByteArray("Europe/Berlin") << utc(3, 29, 1, 0) << QByteArray("2026-03-29 03:00:01.120+02:00");
        QTest::newRow("New York, 01:30 the first time") << QByteArray("America/New_York") << utc(11, 1, 5, 30) << QByteArray("2026-11-01 01:30:01.120-04:00");
        QTest::newRow("New York, 01:30 again") << QByteArray("America/New_York") << utc(11, 1, 6, 30) << QByteArray("2026-11-01 01:30:01.120-05:00");
        QTest::newRow("St. John's") << QByteArray("America/St_Johns") << utc(12, 8, 15, 40) << QByteArray("2026-12-08 12:10:01.120-03:30");
        QTest::newRow("UTC") << QByteArray("UTC") << utc(10, 25, 1, 30) << QByteArray("2026-10-25 01:30:01.120+00:00");
    }
    void timesReadBackAsTheirInstants()
    {
        QFETCH(QByteArray, zone);
        QFETCH(QDateTime, utc);
        QFETCH(QByteArray, written);
        QVERIFY2(zone == "UTC" || QFile::exists(QStringLiteral("/usr/share/zoneinfo/") + QString::fromLatin1(zone)),
                 "no time zone data: install tzdata");
        const LocalZone local(zone);
        // As the log takes it: the local time of that instant.
        const QDateTime when = QDateTime::fromMSecsSinceEpoch(utc.toMSecsSinceEpoch());
        QCOMPARE(when.timeSpec(), Qt::LocalTime);
        const QByteArray line = LogLine({when, EventMark, "x", {}});
        const std::optional<LogEntry> entry = ParseLogLine(line);
        QVERIFY(entry);
        QCOMPARE(entry->when.toMSecsSinceEpoch(), utc.toMSecsSinceEpoch());
        QCOMPARE(line, written + " * x\n");
        QCOMPARE(LogLine(*entry), line);
    }

    // A file written before the offset was reads on, as local time.
    void linesWithoutAnOffsetAreLocalTime()
    {
        const LocalZone local("Europe/Berlin");
        const std::optional<LogEntry> entry = ParseLogLine("2026-12-08 16:40:01.123 COM3 > <1>GV <4>\n");
        QVERIFY(entry);
        QCOMPARE(entry->when.toMSecsSinceEpoch(), QDateTime(QDate(2026, 12, 8), QTime(15, 40, 1, 123), Qt::UTC).toMSecsSinceEpoch());
        QCOMPARE(entry->port, QByteArray("COM3"));
        QCOMPARE(entry->bytes, QByteArray("\x01GV \x04"));
        QVERIFY(!ParseLogLine("2026-12-08 16:40:01.123 COM3"));
    }

    // Each entry carries the local zone's offset as it is at that moment.
    void entriesCarryTheZonesOffset()
    {
        const LocalZone local("Europe/Berlin");
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("session.log"));
        SessionLog log;
        QVERIFY(log.Open(path, QStringLiteral("header")).isEmpty());
        log.Sent("\x01GV \x04");
        log.Close();
        const int offset = QDateTime::currentDateTime().offsetFromUtc();
        const QByteArray zone = offset == 3600 ? "+01:00 " : "+02:00 ";
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        for (const QByteArray &line : file.readAll().trimmed().split('\n'))
            QCOMPARE(line.mid(23, 7), zone);
    }

    // A file whose last line was cut (a full disk, a size limit): the next
    // header starts a line of its own, and what was there stays.
    void headerStartsOnAFreshLine_data()
    {
        QTest::addColumn<bool>("exists");
        QTest::addColumn<QByteArray>("before");
        QTest::addColumn<QByteArray>("kept"); // what stays before the header
        QTest::newRow("no file") << false << QByteArray() << QByteArray();
        QTest::newRow("empty") << true << QByteArray() << QByteArray();
        QTest::newRow("a whole line") << true << QByteArray("2026-12-08 16:40:01.123+01:00 > x\n") << QByteArray("2026-12-08 16:40:01.123+01:00 > x\n");
        QTest::newRow("a cut line") << true << QByteArray("2026-12-08 16:40:01.123+01:00 > <1") << QByteArray("2026-12-08 16:40:01.123+01:00 > <1\n");
        QTest::newRow("one byte") << true << QByteArray("2") << QByteArray("2\n");
        QTest::newRow("a line feed") << true << QByteArray("\n") << QByteArray("\n");
        QTest::newRow("ends in a CR") << true << QByteArray("x\r") << QByteArray("x\r\n");
    }
    void headerStartsOnAFreshLine()
    {
        QFETCH(bool, exists);
        QFETCH(QByteArray, before);
        QFETCH(QByteArray, kept);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("session.log"));
        if (exists) {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly));
            QCOMPARE(file.write(before), before.size());
        }
        SessionLog log;
        QVERIFY(log.Open(path, QStringLiteral("header")).isEmpty());
        log.Sent("\x01GV \x04");
        log.Close();
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray all = file.readAll();
        QVERIFY2(all.startsWith(kept), all.constData());
        const QByteArrayList lines = all.mid(kept.size()).split('\n');
        QCOMPARE(lines.size(), 3); // the header, the entry, and nothing after the last line feed
        const std::optional<LogEntry> header = ParseLogLine(lines[0]);
        QVERIFY2(header, lines[0].constData());
        QCOMPARE(header->bytes, QByteArray("header"));
        QVERIFY(ParseLogLine(lines[1]));
        QVERIFY(lines[2].isEmpty());
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
