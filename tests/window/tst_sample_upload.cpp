#include "app/RealProgressBar.h"
#include "uploads/SampleUpload.h"
#include "tests/support/WindowRig.h"
#include "tests/support/WithoutFileOverride.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

#include <utility>

using namespace kv7;

namespace {

QByteArray Word(const QByteArray &frame)
{
    return frame.mid(1, 3);
}

// The window on COM1 with a device that answers the area selection with
// `status` and every line with an STX reply, as the fake line delivers.
struct Sample : test::WindowRig {
    explicit Sample(const QByteArray &content = QByteArray(40, 'a')) : WindowRig({1, 2})
    {
        form->Form_Load();
        path = dir.filePath(QStringLiteral("one.SSS"));
        test::WriteFile(path, content);
        form->sampleFileBox->setText(path);
        serial.onWrite = [this](const QByteArray &frame) {
            frames << frame;
            if (Word(frame) == "&PF" && !areaReply.isEmpty())
                serial.Feed(areaReply);
            if (Word(frame) == "&HX") {
                lines << frame.mid(5, 75);
                progress << form->uploadProgress->Value() << form->uploadProgress->Maximum();
                if (onLine)
                    onLine();
                // The status for this line: '-' leaves it unanswered.
                const qsizetype at = lines.size() - 1;
                const char status = at < lineStatuses.size() ? lineStatuses[at] : '0';
                if (answerLines && status != '-')
                    serial.Feed(QByteArray("\x01R&HX\x02") + status + '\x04');
            }
        };
    }

    QByteArrayList WordsSent() const
    {
        QByteArrayList words;
        for (const QByteArray &f : frames)
            words << Word(f);
        return words;
    }

    QString path;
    QByteArray areaReply = QByteArray("\x01R&PF\x02" "01;0\x04");
    bool answerLines = true;
    QByteArray lineStatuses;
    std::function<void()> onLine;
    QByteArrayList frames;
    QByteArrayList lines;
    QList<double> progress;
};

} // namespace

class TestSampleUpload : public QObject {
    Q_OBJECT
private slots:
    // The bytes of each line are the sim link test's; here the area, the
    // pace and the progress bar.
    void fortyBytesGoOutAsTwoLines()
    {
        Sample s;
        s.form->uploadAreaBox->setText(QStringLiteral("7"));
        s.form->commandButtons[Buttons::UploadSample]->click();
        QCOMPARE(s.frames.value(0), QByteArray("\x01&PF\x02" "07\x04"));
        QCOMPARE(s.lines.size(), 2);
        QCOMPARE(s.progress, (QList<double>{0, 2, 1, 2}));
        QVERIFY(!s.form->uploadProgress->isVisibleTo(s.form.get()));
        QVERIFY(s.messages.texts.isEmpty());
        QVERIFY(!s.form->Sample().Running());
    }

    void failedAreaSelectionEndsIt()
    {
        // A refusal ends it before the file is even looked at, and says so.
        Sample refused;
        refused.areaReply = QByteArray("\x01R&PF\x02" "03;\x04");
        refused.form->uploadAreaBox->setText(QStringLiteral("3"));
        refused.form->sampleFileBox->setText(QStringLiteral("/no/such/file"));
        refused.form->commandButtons[Buttons::UploadSample]->click();
        QCOMPARE(refused.WordsSent(), QByteArrayList{"&PF"});
        QCOMPARE(refused.messages.texts, QStringList{QStringLiteral(
            "The device refused sample area 03 (status <4>); nothing was sent.")});

        // An area selection that cannot be written ends it at once.
        Sample closed;
        (void)closed.serial.SetPortOpen(false);
        closed.form->commandButtons[Buttons::UploadSample]->click();
        QCOMPARE(closed.messages.texts, QStringList{QStringLiteral("The command <1>&PF<2>01<4> was not sent.")});
    }

    // Every line goes out once whatever its answer; rejections are told
    // once, at the end, or with the stop that cut the upload short.
    void rejectedLinesAreToldOnce_data()
    {
        QTest::addColumn<QByteArray>("statuses"); // per line; '-': no answer
        QTest::addColumn<int>("sent");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("detail");
        const QString stopped = QStringLiteral("The sample upload stopped because the device did not answer line 3 (index 0002).");
        QTest::newRow("all taken") << QByteArray("0000") << 4 << QString() << QString();
        QTest::newRow("two rejected")
            << QByteArray("0E0E") << 4
            << "The device rejected 2 of 4 sample lines, the first at index 0001. Sample area 01 may be incomplete."
            << "";
        QTest::newRow("then silent") << QByteArray("E0-") << 3 << stopped
            << "The device rejected 1 of 2 sample lines, the first at index 0000. Sample area 01 may be incomplete.";
    }
    void rejectedLinesAreToldOnce()
    {
        QFETCH(QByteArray, statuses);
        QFETCH(int, sent);
        QFETCH(QString, text);
        QFETCH(QString, detail);
        Sample s(QByteArray(100, 'r'));
        // cppcheck-suppress unreadVariable ; the write hook above reads it
        s.lineStatuses = statuses;
        s.form->Sample().WaitLimitMs = 300;
        s.form->commandButtons[Buttons::UploadSample]->click();
        QCOMPARE(s.lines.size(), sent);
        QCOMPARE(s.messages.texts, text.isEmpty() ? QStringList() : QStringList{text});
        QCOMPARE(s.messages.details, text.isEmpty() ? QStringList() : QStringList{detail});
        QVERIFY(!s.form->uploadProgress->isVisibleTo(s.form.get()));
        QVERIFY(!s.form->Sample().Running());
    }

    // A file that cannot be read is named, with the reason, after the area
    // selection and before any line; /proc files, sized 0, are read.
    void unreadableFiles_data()
    {
        QTest::addColumn<QString>("file"); // "" for the sample written, "locked" for it unreadable
        QTest::addColumn<QString>("detail"); // empty: read and sent
        QTest::newRow("missing") << "/no/such/file.SSS" << "No such file or directory";
        QTest::newRow("a folder") << "/tmp" << "It is a folder.";
        QTest::newRow("a device") << "/dev/zero" << "It is not a regular file.";
        QTest::newRow("no read permission") << "locked" << "Permission denied";
        QTest::newRow("/proc, size 0") << "/proc/self/status" << "";
        QTest::newRow("more lines than indexes") << "big" << "It is larger than 2097151 bytes, the most this upload can take.";
    }
    void unreadableFiles()
    {
        QFETCH(QString, file);
        QFETCH(QString, detail);
        Sample s;
        if (file == "locked") {
            QVERIFY(QFile::setPermissions(s.path, QFileDevice::WriteOwner));
        } else if (file == "big") {
            QFile big(s.path);
            QVERIFY(big.open(QIODevice::WriteOnly) && big.resize(SampleTransfer::MaxFileBytes + 1));
        } else {
            s.form->sampleFileBox->setText(file);
        }
        {
            const test::WithoutFileOverride asAnyUser;
            s.form->commandButtons[Buttons::UploadSample]->click();
        }
        if (detail.isEmpty()) {
            QVERIFY(s.lines.size() > 1);
            QVERIFY(s.messages.texts.isEmpty());
            return;
        }
        QCOMPARE(s.messages.texts,
                 QStringList{QStringLiteral("The sample file %1 cannot be read.").arg(s.form->sampleFileBox->text())});
        QCOMPARE(s.messages.details, QStringList{detail});
        QCOMPARE(s.WordsSent(), QByteArrayList{"&PF"});
    }

    void secondUploadsWaitOtherButtonsWork()
    {
        Sample s(QByteArray(40, 'c'));
        bool tried = false;
        s.onLine = [&] {
            if (std::exchange(tried, true))
                return;
            s.form->commandButtons[Buttons::UploadSample]->click();
            s.form->commandButtons[Buttons::UploadFirmware]->click();
            s.form->commandButtons[Buttons::GetVersion]->click(); // still goes out
            // The port and speed stay those the area was selected on.
            for (QComboBox *list : {s.form->portList, s.form->speedList}) {
                QVERIFY(!list->isEnabled());
                QCOMPARE(list->toolTip(), QStringLiteral("Locked while the sample upload runs."));
                list->setFocus();
                QTest::keyClick(list, Qt::Key_Down);
            }
        };
        s.form->commandButtons[Buttons::UploadSample]->click();
        QCOMPARE(s.WordsSent(), (QByteArrayList{"&PF", "&HX", "GV ", "&HX"}));
        QCOMPARE(s.serial.CommPort(), 1);
        QCOMPARE(s.serial.Settings(), QStringLiteral("9600,n,8,1"));
        QVERIFY(s.form->portList->isEnabled() && s.form->speedList->isEnabled());
        QCOMPARE(s.form->portList->toolTip(), QStringLiteral("/dev/null"));
        QVERIFY(s.messages.questions.isEmpty());
        QVERIFY(s.messages.texts.isEmpty());
    }
};

QTEST_MAIN(TestSampleUpload)
#include "tst_sample_upload.moc"
