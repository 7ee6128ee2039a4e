// A 1 MiB firmware upload over pseudo-terminals: ours to lrzsz's rx (behind
// the handshake bridge), lrzsz's sx to rx as the yardstick, and ours to
// kv7-sim. Each figure is the whole upload, from the button to the end.
#include "bench/BenchUtil.h"
#include "tests/support/EventWait.h"
#include "tests/support/SimLink.h"
#include "tests/support/TransferBytes.h"
#include "bench/XmodemBaseline.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <cstdio>

using namespace kv7;

namespace {

constexpr int ImageSize = 1024 * 1024;
// Ours sends a block of padding after an image of whole blocks; sx does not.
constexpr int OurBlocks = ImageSize / 128 + 1;
constexpr int SxBlocks = ImageSize / 128;

QByteArray ReadFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Seconds for our upload to the peer, or a negative value on failure;
// `startSeconds` is the part spent in the start sequence (boot command,
// its 100 ms pause, the port switch and the ten paced sync characters).
double Ours(const QString &image, const QStringList &peerOptions, const QString &program, const QString &out,
            double *cpuShare, double *startSeconds)
{
    test::SimLink link;
    if (!link.Start(peerOptions, program))
        return -1;
    link.form->firmwareFileBox->setText(image);
    const double cpu0 = bench::CpuSeconds();
    QElapsedTimer clock;
    clock.start();
    link.form->StartUpload();
    *startSeconds = double(clock.nsecsElapsed()) / 1e9;
    if (!test::WaitUntil([&] { return !link.form->UploadActive(); }, 120000))
        return -2;
    const double wall = double(clock.nsecsElapsed()) / 1e9;
    *cpuShare = 100.0 * (bench::CpuSeconds() - cpu0) / wall;
    if (link.messages.texts != QStringList{QStringLiteral("Finished uploading firmware and all is OK!")})
        return -3;
    // Let the peer write its file.
    if (!QTest::qWaitFor([&] { return ReadFile(out).size() == OurBlocks * 128; }, 10000))
        return -4;
    return wall;
}

void Report(const char *what, int blocks, double seconds, const QByteArray &got, const QByteArray &expected,
            double cpu = -1)
{
    if (seconds < 0) {
        std::printf("%-26s failed (%g)\n", what, seconds);
        return;
    }
    std::printf("%-26s %.3f s, %6.0f blocks/s, %s", what, seconds, blocks / seconds,
                got == expected ? "file equal" : "FILE DIFFERS");
    if (cpu >= 0)
        std::printf(", CPU %.0f%% of one core", cpu);
    std::printf("\n");
}

} // namespace

int main(int argc, char *argv[])
{
    qputenv("QT_QPA_PLATFORM", qEnvironmentVariable("QT_QPA_PLATFORM", QStringLiteral("offscreen")).toLocal8Bit());
    QApplication app(argc, argv);
    QTemporaryDir dir;
    const QByteArray image = test::RandomBytes(ImageSize, 1);
    const QByteArray padded = test::Padded(image);
    const QString imagePath = dir.filePath(QStringLiteral("image.bin"));
    QFile file(imagePath);
    if (!file.open(QIODevice::WriteOnly) || file.write(image) != image.size())
        return 1;
    file.close();

    std::printf("Firmware upload of 1 MiB (target: ours to rx <= 1.1 x sx to rx)\n");
    QList<double> sxTimes, ourTimes;
    for (int run = 0; run < 5; ++run) {
        const QString sxOut = dir.filePath(QStringLiteral("sx%1.bin").arg(run));
        QString error;
        const double sx = test::TimeSxToRx(imagePath, sxOut, &error);
        if (sx < 0)
            std::printf("sx to rx failed: %s\n", qPrintable(error));
        Report("sx to rx", SxBlocks, sx, ReadFile(sxOut), image);

        double cpu = 0;
        double start = 0;
        const QString rxOut = dir.filePath(QStringLiteral("ours%1.bin").arg(run));
        const double ours = Ours(imagePath, {QStringLiteral("--com"), QStringLiteral("1"), QStringLiteral("--out"), rxOut,
                                  QStringLiteral("--stay")},
                                 QStringLiteral(KV7_XMODEM_BRIDGE_PATH), rxOut, &cpu, &start);
        Report("ours to rx (bridge)", OurBlocks, ours, ReadFile(rxOut), padded, cpu);
        if (sx > 0 && ours > 0) {
            std::printf("%-26s %.2f (start sequence %.3f s of it)\n", "ratio ours / sx", ours / sx, start);
            sxTimes << sx;
            ourTimes << ours;
        }

        const QString simOut = dir.filePath(QStringLiteral("sim%1.bin").arg(run));
        const double sim = Ours(imagePath, {QStringLiteral("--image"), simOut}, QStringLiteral(KV7_SIM_PATH), simOut, &cpu, &start);
        Report("ours to kv7-sim", OurBlocks, sim, ReadFile(simOut), padded, cpu);
    }
    if (!sxTimes.isEmpty()) {
        std::sort(sxTimes.begin(), sxTimes.end());
        std::sort(ourTimes.begin(), ourTimes.end());
        const double sxMedian = sxTimes[sxTimes.size() / 2];
        const double ourMedian = ourTimes[ourTimes.size() / 2];
        std::printf("medians: sx to rx %.3f s, ours to rx %.3f s, ratio %.2f\n", sxMedian, ourMedian, ourMedian / sxMedian);
    }
    return 0;
}
