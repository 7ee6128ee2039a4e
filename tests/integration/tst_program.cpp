// kv7-test's own command line: answered before any window, so it works
// without a display, and a mistyped option never starts the window.
#include <QProcess>
#include <QtTest>

class TestCommandLine : public QObject {
    Q_OBJECT
private slots:
    void answeredWithoutADisplay_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("out");
        QTest::addColumn<QString>("err");
        const QString tryHelp = QStringLiteral("\nTry 'kv7-test --help' for more information.\n");
        QTest::newRow("unknown") << QStringList{"--no-such-option"} << 2 << ""
                                 << "kv7-test: unknown option '--no-such-option'" + tryHelp;
        QTest::newRow("stray word") << QStringList{"COM5"} << 2 << "" << "kv7-test: unexpected argument 'COM5'" + tryHelp;
        QTest::newRow("Qt's value missing") << QStringList{"-style"} << 2 << ""
                                            << "kv7-test: option '-style' needs a value" + tryHelp;
        QTest::newRow("after Qt's options") << QStringList{"-style=fusion", "--platform", "xcb", "-reverse", "-x"} << 2
                                            << "" << "kv7-test: unknown option '-x'" + tryHelp;
        QTest::newRow("version after Qt's options")
            << QStringList{"-platform", "offscreen", "-reverse", "--version"} << 0 << "kv7-test " KV7_VERSION "\n" << "";
        QTest::newRow("a flag with a value") << QStringList{"-reverse=1"} << 2 << ""
                                             << "kv7-test: unknown option '-reverse=1'" + tryHelp;
    }
    void answeredWithoutADisplay()
    {
        QFETCH(QStringList, args);
        QFETCH(int, code);
        QFETCH(QString, out);
        QFETCH(QString, err);
        QProcess program;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const char *name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
            env.remove(QString::fromLatin1(name));
        program.setProcessEnvironment(env);
        program.start(QStringLiteral(KV7_TEST_PATH), args);
        QVERIFY(program.waitForFinished(10000));
        QCOMPARE(program.exitStatus(), QProcess::NormalExit);
        QCOMPARE(QString::fromLocal8Bit(program.readAllStandardError()), err);
        QCOMPARE(QString::fromLocal8Bit(program.readAllStandardOutput()), out);
        QCOMPARE(program.exitCode(), code);
    }
};

QTEST_GUILESS_MAIN(TestCommandLine)
#include "tst_command_line.moc"
