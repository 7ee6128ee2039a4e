#include "app/FailurePolicy.h"

#include <QtTest>

using namespace kv7;

class TestFailurePolicy : public QObject {
    Q_OBJECT
private slots:
    // Events: U a button pressed, S a slider moved, [ ] the reply timer's
    // tick starts and ends, L the port lost (and told), F a write fails.
    // Told: per failure, N at once, A after the tick, - not at all.
    void toldOnceUntilTheUserActs_data()
    {
        QTest::addColumn<QByteArray>("events");
        QTest::addColumn<QByteArray>("told");
        QTest::newRow("a run is one failure until a button") << QByteArray("FFUFF") << QByteArray("N-N-");
        QTest::newRow("a slider moved outside the tick") << QByteArray("FSF[F]SF") << QByteArray("NN-N");
        QTest::newRow("a gain echo in the tick is no action") << QByteArray("[FSF]F") << QByteArray("A--");
        QTest::newRow("a lost port has been told") << QByteArray("LFFUF") << QByteArray("--N");
    }
    void toldOnceUntilTheUserActs()
    {
        QFETCH(QByteArray, events);
        QFETCH(QByteArray, told);
        const QHash<char, void (FailurePolicy::*)()> act{{'U', &FailurePolicy::UserActed},
            {'S', &FailurePolicy::SliderMoved}, {'[', &FailurePolicy::TickStarted}, {']', &FailurePolicy::TickEnded},
            {'L', &FailurePolicy::PortLost}};
        FailurePolicy policy;
        QByteArray got;
        for (const char event : events) {
            if (const auto step = act.value(event))
                (policy.*step)();
            else if (const auto report = policy.WriteFailed("\x01GB \x04", QStringLiteral("input/output error"), {}))
                got += report->afterTick ? 'A' : 'N';
            else
                got += '-';
        }
        QCOMPARE(got, told);
    }
};

QTEST_GUILESS_MAIN(TestFailurePolicy)
#include "tst_failure_policy.moc"
