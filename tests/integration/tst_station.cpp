// kv7-run's results for machines (JSON Lines, JUnit XML, one record a
// unit) and its station mode, against kv7-sim: every line and file is
// parsed back and counted.
#include "tests/support/EventWait.h"
#include "tests/support/RunProcess.h"
#include "tests/support/SimProcess.h"
#include "tests/support/TransferBytes.h"
#include "tests/support/WindowRig.h"

#include <QCryptographicHash>
#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QXmlStreamReader>
#include <QtTest>

#include <csignal>
#include <memory>

using namespace kv7;

namespace {

// Each whole line of `out` as a JSON object, with the fields every event
// has; a line still on its way is left for later.
QList<QJsonObject> Events(const QByteArray &out)
{
    static const QRegularExpression time(QStringLiteral(R"(^\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3}(Z|[+-]\d\d:\d\d)$)"));
    QList<QJsonObject> events;
    for (const QByteArray &line : out.left(out.lastIndexOf('\n') + 1).split('\n')) {
        if (line.isEmpty())
            continue;
        QJsonParseError error{};
        const QJsonDocument doc = QJsonDocument::fromJson(line, &error);
        if (error.error != QJsonParseError::NoError || !doc.isObject())
            return {};
        const QJsonObject o = doc.object();
        if (o.value(QStringLiteral("v")).toInt() != 1 || !time.match(o.value(QStringLiteral("time")).toString()).hasMatch() ||
            o.value(QStringLiteral("port")).toString().isEmpty() || o.value(QStringLiteral("event")).toString().isEmpty())
            return {};
        events << o;
    }
    return events;
}

QList<QJsonObject> OfKind(const QList<QJsonObject> &events, const QString &kind, const QString &port = {})
{
    QList<QJsonObject> found;
    for (const QJsonObject &o : events)
        if (o.value(QStringLiteral("event")).toString() == kind &&
            (port.isEmpty() || o.value(QStringLiteral("port")).toString() == port))
            found << o;
    return found;
}

// Per <testsuite>: "name tests failures skipped" as stated, and as counted
// from its test cases.
QStringList Suites(const QString &path, QStringList *counted)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QXmlStreamReader xml(&file);
    QStringList stated;
    int cases = 0, failures = 0, skipped = 0;
    QString name;
    while (!xml.atEnd()) {
        xml.readNext();
        const QString element = xml.name().toString();
        if (xml.isStartElement() && element == QLatin1String("testsuite")) {
            const QXmlStreamAttributes a = xml.attributes();
            name = a.value(QLatin1String("name")).toString();
            stated << QStringLiteral("%1 %2 %3 %4")
                          .arg(name, a.value(QLatin1String("tests")).toString(), a.value(QLatin1String("failures")).toString(),
                               a.value(QLatin1String("skipped")).toString());
            cases = failures = skipped = 0;
        } else if (xml.isStartElement() && element == QLatin1String("testcase")) {
            ++cases;
            if (!xml.attributes().value(QLatin1String("classname")).startsWith(QLatin1String("kv7-run.")))
                return {};
        } else if (xml.isStartElement() && element == QLatin1String("failure")) {
            ++failures;
        } else if (xml.isStartElement() && element == QLatin1String("skipped")) {
            ++skipped;
        } else if (xml.isEndElement() && element == QLatin1String("testsuite")) {
            *counted << QStringLiteral("%1 %2 %3 %4").arg(name).arg(cases).arg(failures).arg(skipped);
        }
    }
    return xml.hasError() ? QStringList{xml.errorString()} : stated;
}

} // namespace

class TestStation : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_firmware;
    QString m_sample;

    QString Folder() const { return m_dir.filePath(QStringLiteral("kv7-ports")); }

    std::unique_ptr<test::SimProcess> Sim(const QStringList &options)
    {
        auto sim = std::make_unique<test::SimProcess>();
        return sim->Start(Folder(), options) ? std::move(sim) : nullptr;
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        m_firmware = m_dir.filePath(QStringLiteral("firmware.bin"));
        m_sample = m_dir.filePath(QStringLiteral("take.SSS"));
        QVERIFY(test::WriteFile(m_firmware, test::RandomBytes(1000, 1)));
        QVERIFY(test::WriteFile(m_sample, test::RandomBytes(100, 2)));
    }

    // Three ports: a good unit, one that says "no", one missing. JSON Lines,
    // the JUnit report and the records tell the same story.
    void machineReadableResults()
    {
        const std::unique_ptr<test::SimProcess> good = Sim({});
        const std::unique_ptr<test::SimProcess> bad = Sim({QStringLiteral("--status"), QStringLiteral("E")});
        QVERIFY(good && bad);
        const QString goodPort = QStringLiteral("COM%1").arg(good->Port());
        const QString badPort = QStringLiteral("com%1").arg(bad->Port()); // named as given
        const QString junit = m_dir.filePath(QStringLiteral("report.xml"));
        const QString records = m_dir.filePath(QStringLiteral("records"));
        QProcess run;
        test::StartKv7Run(run, m_dir.path(),
                          {"--port", goodPort, "--port", badPort, "--port", "COM250", "--json", "--junit", junit,
                           "--record", records, "firmware", m_firmware, "version", "expect", "KV7-SIM"});
        QVERIFY(run.waitForFinished(30000));
        QCOMPARE(run.exitCode(), 1);
        const QList<QJsonObject> events = Events(run.readAllStandardOutput());
        QVERIFY(!events.isEmpty());
        // Standard error keeps its text.
        QVERIFY(QString::fromLocal8Bit(run.readAllStandardError()).contains(QStringLiteral("kv7-run: COM250: cannot open")));

        QCOMPARE(OfKind(events, "start", goodPort).value(0).value("device").toString(), good->Device());
        const QList<QJsonObject> steps = OfKind(events, "step", goodPort);
        QCOMPARE(steps.size(), 3);
        QCOMPARE(steps[1].value("replies").toArray().first().toString(), QStringLiteral("<1>RGV <2>KV7-SIM 1.0<4>"));
        QCOMPARE(steps[2].value("args").toArray().first().toString(), QStringLiteral("KV7-SIM"));
        QVERIFY(!OfKind(events, "progress", goodPort).isEmpty());
        for (const QJsonObject &p : OfKind(events, "progress"))
            QVERIFY(p.value("unit").toString() == QLatin1String("block") && p.value("total").toInt() == 8);
        QCOMPARE(OfKind(events, "result", goodPort).value(0).value("ok").toBool(), true);

        const QJsonObject refused = OfKind(events, "step", badPort).value(1);
        QCOMPARE(refused.value("ok").toBool(), false);
        QCOMPARE(refused.value("cause").toString(), QStringLiteral("device"));
        QVERIFY(refused.value("why").toString().startsWith(QStringLiteral("the device answered \"E\"")));
        const QJsonObject badResult = OfKind(events, "result", badPort).value(0);
        QCOMPARE(badResult.value("failed_step").toInt(), 2);
        QCOMPARE(badResult.value("steps").toInt(), 1);
        const QJsonObject missing = OfKind(events, "result", "COM250").value(0);
        QCOMPARE(missing.value("cause").toString(), QStringLiteral("port"));
        QCOMPARE(missing.value("failed_step").toInt(), 0);
        QVERIFY(OfKind(events, "summary").isEmpty());

        QStringList counted;
        const QStringList stated = Suites(junit, &counted);
        QCOMPARE(stated, (QStringList{goodPort + " 3 0 0", badPort + " 3 1 1", "COM250 4 1 3"}));
        QCOMPARE(counted, stated);

        const QStringList files = QDir(records).entryList({QStringLiteral("*.json")});
        QCOMPARE(files.size(), 3);
        const QByteArray sha = QCryptographicHash::hash(test::ReadFile(m_firmware), QCryptographicHash::Sha256).toHex();
        int good_records = 0;
        for (const QString &name : files) {
            const QJsonObject r = QJsonDocument::fromJson(test::ReadFile(QDir(records).filePath(name))).object();
            QCOMPARE(r.value("version").toString(), QStringLiteral(KV7_VERSION));
            QVERIFY(!r.value("host").toString().isEmpty() && !r.value("end").toString().isEmpty());
            if (r.value("port").toString() != goodPort)
                continue;
            ++good_records;
            QCOMPARE(r.value("device").toString(), good->Device());
            QCOMPARE(r.value("steps").toArray().first().toObject().value("sha256").toString(), QString::fromLatin1(sha));
            QCOMPARE(r.value("ok").toBool(), true);
        }
        QCOMPARE(good_records, 1);
    }

    // A record that cannot be written (here past the file size limit)
    // fails its unit, at once.
    void unwritableRecordFailsThePort()
    {
        const std::unique_ptr<test::SimProcess> sim = Sim({});
        QVERIFY(sim);
        QProcess run;
        test::StartKv7Run(run, m_dir.path(),
                          {"--port", QStringLiteral("COM%1").arg(sim->Port()), "--record",
                           m_dir.filePath(QStringLiteral("full")), "version", "gains"},
                          // 512 bytes: the port's lock fits, a record of eight gains does not.
                          QStringLiteral("trap '' XFSZ; ulimit -f 1 && exec \"$0\" \"$@\""));
        QVERIFY(run.waitForFinished(20000));
        QCOMPARE(run.exitCode(), 1);
        const QString out = QString::fromLocal8Bit(run.readAllStandardOutput());
        QVERIFY2(out.contains(QStringLiteral(" version: <1>RGV")), qPrintable(out));
        QVERIFY2(out.contains(QStringLiteral(" FAILED at the end: its record ")), qPrintable(out));
        QVERIFY(QString::fromLocal8Bit(run.readAllStandardError()).contains(QStringLiteral("could not be written")));
    }

    // Two slots, three units: the first slot's unit is unplugged and
    // another comes (kv7-sim ended and started again on its number); the
    // second slot's unit rejects a sample line and stays plugged in, and
    // is never run twice. A signal ends the station with a summary a slot.
    void unitsComeAndGo()
    {
        const QStringList first{QStringLiteral("--com"), QStringLiteral("5")};
        std::unique_ptr<test::SimProcess> a = Sim(first);
        const std::unique_ptr<test::SimProcess> b =
            Sim({QStringLiteral("--com"), QStringLiteral("6"), QStringLiteral("--reject-lines"), QStringLiteral("0001")});
        QVERIFY(a && b);
        // Every pty an adapter with a slow timer: warned of once a slot, not once a unit.
        QTemporaryDir sys;
        for (int n = 0; n < 256; ++n) {
            const QString device = sys.filePath(QStringLiteral("class/tty/%1/device/").arg(n));
            QVERIFY(QDir().mkpath(device) && QFile::link(sys.path(), device + "driver"));
            QVERIFY(test::WriteFile(device + "latency_timer", "16\n"));
        }
        qputenv("KV7_SYSFS_ROOT", QFile::encodeName(sys.path()));
        QProcess run;
        test::StartKv7Run(run, m_dir.path(),
                          {"--station", "--units", "2", "--port", "COM5", "--port", "COM6", "--json", "sample", "1",
                           m_sample, "version", "expect", "KV7-SIM"});
        qunsetenv("KV7_SYSFS_ROOT");
        QByteArray out;
        const auto count = [&](const QString &kind, const QString &port) {
            out += run.readAllStandardOutput();
            return OfKind(Events(out), kind, port).size();
        };
        const auto results = [&](const QString &port) { return count(QStringLiteral("result"), port); };
        QVERIFY(test::WaitUntil([&] { return results("COM5") == 1 && results("COM6") == 1; }, 15000));
        a.reset(); // unplugged
        a = Sim(first);
        QVERIFY(a);
        QVERIFY(test::WaitUntil([&] { return results("COM5") == 2; }, 15000));
        QVERIFY(test::WaitUntil([&] { return count(QStringLiteral("summary"), QStringLiteral("COM5")) == 1; }, 5000));
        QTest::qWait(600); // the unit on COM6 stays: no second run
        ::kill(pid_t(run.processId()), SIGTERM);
        QVERIFY(run.waitForFinished(10000));
        out += run.readAllStandardOutput();
        QCOMPARE(run.exitCode(), 1);
        QCOMPARE(QString::fromLocal8Bit(run.readAllStandardError()).count(QStringLiteral("latency timer")), 2);
        const QList<QJsonObject> events = Events(out);
        QCOMPARE(OfKind(events, "result", "COM5").size(), 2);
        QCOMPARE(OfKind(events, "result", "COM6").size(), 1);
        const QJsonObject rejected = OfKind(events, "result", "COM6").first();
        QVERIFY(rejected.value("why").toString().contains(QStringLiteral("the first at index 0001")));
        QCOMPARE(rejected.value("cause").toString(), QStringLiteral("device"));
        const QJsonObject five = OfKind(events, "summary", "COM5").value(0);
        const QJsonObject six = OfKind(events, "summary", "COM6").value(0);
        QCOMPARE(QList<int>({five.value("units").toInt(), five.value("ok").toInt(), five.value("failed").toInt()}),
                 QList<int>({2, 2, 0}));
        QCOMPARE(QList<int>({six.value("units").toInt(), six.value("ok").toInt(), six.value("failed").toInt()}),
                 QList<int>({1, 0, 1}));
    }

    // In text, a unit's result as it ends, and the summary line at the end;
    // a unit cut short by the signal makes the exit 128 + N.
    void stationStoppedMidUnit()
    {
        const std::unique_ptr<test::SimProcess> sim =
            Sim({QStringLiteral("--com"), QStringLiteral("7"), QStringLiteral("--wire")});
        QVERIFY(sim);
        QProcess run;
        test::StartKv7Run(run, m_dir.path(), {"--station", "--port", "COM7", "version", "wait", "5000"});
        QByteArray out;
        QVERIFY(test::WaitUntil(
            [&] {
                out += run.readAllStandardOutput();
                return out.contains("COM7 version: ");
            },
            10000));
        ::kill(pid_t(run.processId()), SIGINT);
        QVERIFY(run.waitForFinished(10000));
        QCOMPARE(run.exitCode(), 128 + SIGINT);
        const QStringList lines = QString::fromLocal8Bit(out + run.readAllStandardOutput()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        QCOMPARE(lines, (QStringList{"COM7 version: <1>RGV <2>KV7-SIM 1.0<4>", "COM7 STOPPED at step 2 (wait): ended by signal 2", "COM7: 1 unit, 0 ok, 0 failed, 1 stopped"}));
    }
};

QTEST_GUILESS_MAIN(TestStation)
#include "tst_station.moc"
