#include "sim/SimOptions.h"

#include "protocol/Hex.h"
#include "serial/PortFolder.h"

#include <QCommandLineParser>

namespace kv7::sim {

namespace {

// A one-character option; a control byte would break the framing.
bool PrintableChar(const QCommandLineParser &p, const QCommandLineOption &option, char *value, QString *error)
{
    if (!p.isSet(option))
        return true;
    const QByteArray s = p.value(option).toLatin1();
    if (s.size() != 1 || s[0] < ' ' || s[0] > '~') {
        *error = QStringLiteral("--%1 needs one printable character").arg(option.names().first());
        return false;
    }
    *value = s[0];
    return true;
}

// Four hex digits each, the form the lines carry their index in.
bool LineIndexes(const QString &list, QSet<int> *indexes, QString *error)
{
    for (const QString &item : list.split(QLatin1Char(','))) {
        const QString digits = item.trimmed();
        bool ok = digits.size() == 4;
        int value = 0;
        for (const QChar c : digits) {
            ok = ok && HexDigit(c) >= 0;
            value = value * 16 + HexDigit(c);
        }
        if (!ok) {
            *error = QStringLiteral("--reject-lines needs line indexes of four hex digits, comma-separated (e.g. 0001,002A), not \"%1\"").arg(item);
            return false;
        }
        indexes->insert(value);
    }
    return true;
}

} // namespace

std::optional<SimOptions> SimOptions::Parse(const QStringList &arguments, QString *error)
{
    QCommandLineParser p;
    p.setApplicationDescription(QStringLiteral(
        "A simulated KV7 on a pseudo-terminal. It links the terminal as COM<n> in the port folder, prints\n"
        "\"COM<n> <device>\" and answers every command frame with a reply frame (SOH, status letter,\n"
        "body, EOT). It keeps eight gains for \"GAV\" and \"AV \". \"&PF\" selects a sample area (reply\n"
        "<area>;<sample status>, log \"area <area>\"); each \"&HX\" line after it is checked (reply 0, or E\n"
        "and log \"bad line <index>\", also for a good line that --reject-lines names) and the 32 bytes of\n"
        "a line answered 0 kept. \"$BT\" gets no reply: it starts the boot loader (log \"boot\"), which\n"
        "answers the \"{\" handshake, takes 132-byte blocks (ACK or NAK each) until EOT, logs\n"
        "\"image <bytes> bytes\" and goes back to command frames. It prints\n"
        "\"line <speed>\" whenever the program on the other side changes the line speed. Beside its link\n"
        "it writes the marker COM<n>.kv7-sim (its pid, the link's target and its start time), and it\n"
        "replaces or removes only links so marked. Ends on SIGINT (Ctrl-C), SIGTERM or SIGHUP, or once\n"
        "its output cannot be printed, and removes its link; a fatal error removes it too. When more\n"
        "than 1 MiB of output waits for the other side, writes are dropped, and \"dropped <bytes> bytes\"\n"
        "is printed when stopped.\n"
        "Exit codes: 0 stopped, 2 bad options or port taken, 1 system error."));
    p.addHelpOption();
    const QCommandLineOption com(QStringLiteral("com"), QStringLiteral("Port number to link, 1-255 (default: the lowest free). A stale link of kv7-sim's (its process gone) is replaced; a live one, or one it did not make, is an error."), QStringLiteral("N"));
    const QCommandLineOption folder(QStringLiteral("folder"), QStringLiteral("Port folder (default: %1).").arg(PortFolder::DefaultPath()), QStringLiteral("DIR"));
    const QCommandLineOption status(QStringLiteral("status"), QStringLiteral("Status letter of every reply (default: R); malformed gain commands get E."), QStringLiteral("X"));
    const QCommandLineOption split(QStringLiteral("split"), QStringLiteral("Send every reply one byte per write, about 1 ms apart."));
    const QCommandLineOption doubled(QStringLiteral("double"), QStringLiteral("Send every reply twice, back to back in one write."));
    const QCommandLineOption garbage(QStringLiteral("garbage"), QStringLiteral("Send TEXT (Latin-1) before every reply, in the same write."), QStringLiteral("TEXT"));
    const QCommandLineOption silent(QStringLiteral("silent"), QStringLiteral("Never reply (frames are still read, and logged with --verbose)."));
    const QCommandLineOption gains(QStringLiteral("gains"), QStringLiteral("Initial gains of channels 1-8, comma-separated (default: all 0)."), QStringLiteral("LIST"));
    const QCommandLineOption verbose(QStringLiteral("verbose"), QStringLiteral("Log every frame received and every reply, every sample line and every block; control bytes show as <n>."));
    const QCommandLineOption sampleStatus(QStringLiteral("sample-status"), QStringLiteral("Sample status in the \"&PF\" reply (default: 0, the host then sends the lines)."), QStringLiteral("C"));
    const QCommandLineOption samples(QStringLiteral("samples"), QStringLiteral("Keep the bytes of the area being uploaded in FILE, replaced on every \"&PF\"."), QStringLiteral("FILE"));
    const QCommandLineOption rejectLines(QStringLiteral("reject-lines"), QStringLiteral("Answer the sample lines with these indexes E and keep none of their bytes, although they are good. LIST: the indexes as the lines carry them, four hex digits each, comma-separated (e.g. 0001,002A)."), QStringLiteral("LIST"));
    const QCommandLineOption image(QStringLiteral("image"), QStringLiteral("Write the image the boot loader received to FILE (replaced), padding of the last block included."), QStringLiteral("FILE"));
    const QCommandLineOption nakEvery(QStringLiteral("nak-every"), QStringLiteral("Boot loader: answer every K-th block frame with NAK although it was good."), QStringLiteral("K"));
    const QCommandLineOption nakEot(QStringLiteral("nak-eot"), QStringLiteral("Boot loader: answer the first EOT with NAK."));
    const QCommandLineOption badReply(QStringLiteral("bad-reply"), QStringLiteral("Boot loader: send TEXT (Latin-1) as a write of its own about 5 ms before every ACK or NAK."), QStringLiteral("TEXT"));
    const QCommandLineOption bootSilent(QStringLiteral("boot-silent"), QStringLiteral("Boot loader: never answer anything."));
    const QCommandLineOption stallAfterFirst(QStringLiteral("stall-after-first"), QStringLiteral("Boot loader: answer the \"{\" handshake, then nothing more."));
    const QCommandLineOption stream(QStringLiteral("stream"), QStringLiteral("For SECONDS, stream gain and version replies, broken frames and noise at the byte rate of 115200 baud (11520 B/s), between the replies to commands; then print \"stream done FRAMES\"; when stopped it prints \"replies N\", the reply frames it sent."), QStringLiteral("SECONDS"));
    const QCommandLineOption wire(QStringLiteral("wire"), QStringLiteral("Pace the line like a real serial line at the speed and framing the other side set, following its changes (8N1 takes 10 bits a byte: 960 B/s at 9600, 11520 B/s at 115200), both ways at once: what is written to the simulator counts only once it would have crossed, and replies reach the other side at the line's rate. Bytes go over in slices of at most 1 ms of line time, each handed on once its last byte is across. When stopped it prints \"wire in <bytes> bytes <us> us, out ...\" (bytes and line time each way), \"wire late max <us> us, ...\" (how late it handed bytes over against the line's times) and \"wire turnaround <n> replies, total <us> us, max <us> us\" (from the end of each reply to the next byte from the other side)."));
    const QCommandLineOption latency(QStringLiteral("latency"), QStringLiteral("Behave like a USB serial adapter with a latency timer of MS ms (1-255) on the way to the other side, as an FTDI chip does: what the device sends waits in the adapter until MS ms after the first byte waiting, or goes at once, 62 bytes at a time, when 62 are waiting. With --wire, after the line."), QStringLiteral("MS"));
    p.addOptions({com, folder, status, split, doubled, garbage, silent, gains, verbose, sampleStatus, samples,
                  rejectLines, image, nakEvery, nakEot, badReply, bootSilent, stallAfterFirst, stream, wire, latency});
    if (!p.parse(arguments)) {
        *error = p.errorText();
        return std::nullopt;
    }
    if (p.isSet(QStringLiteral("help")))
        p.showHelp(0);
    if (!p.positionalArguments().isEmpty()) {
        *error = QStringLiteral("unexpected argument: %1").arg(p.positionalArguments().first());
        return std::nullopt;
    }

    SimOptions o;
    o.folder = p.isSet(folder) ? p.value(folder) : PortFolder::DefaultPath();
    if (p.isSet(com)) {
        bool ok = false;
        o.port = p.value(com).toInt(&ok);
        if (!ok || o.port < 1 || o.port > 255) {
            *error = QStringLiteral("--com needs a number from 1 to 255");
            return std::nullopt;
        }
    }
    if (!PrintableChar(p, status, &o.status, error) || !PrintableChar(p, sampleStatus, &o.sampleStatus, error))
        return std::nullopt;
    if (p.isSet(nakEvery)) {
        bool ok = false;
        o.nakEvery = p.value(nakEvery).toInt(&ok);
        if (!ok || o.nakEvery < 1) {
            *error = QStringLiteral("--nak-every needs a number from 1 up");
            return std::nullopt;
        }
    }
    if (p.isSet(latency)) {
        bool ok = false;
        o.latencyMs = p.value(latency).toInt(&ok);
        if (!ok || o.latencyMs < 1 || o.latencyMs > 255) {
            *error = QStringLiteral("--latency needs a number of milliseconds from 1 to 255");
            return std::nullopt;
        }
    }
    if (p.isSet(stream)) {
        bool ok = false;
        o.streamSeconds = p.value(stream).toInt(&ok);
        if (!ok || o.streamSeconds < 1) {
            *error = QStringLiteral("--stream needs a number of seconds from 1 up");
            return std::nullopt;
        }
    }
    if (p.isSet(rejectLines) && !LineIndexes(p.value(rejectLines), &o.rejectLines, error))
        return std::nullopt;
    if (p.isSet(gains)) {
        const QStringList list = p.value(gains).split(QLatin1Char(','));
        for (int i = 0; i < list.size(); ++i) {
            bool ok = false;
            const int g = list[i].trimmed().toInt(&ok);
            if (i >= 8 || !ok || g < 0 || g > 127) {
                *error = QStringLiteral("--gains needs up to eight numbers from 0 to 127");
                return std::nullopt;
            }
            o.gains[size_t(i)] = g;
        }
    }
    o.split = p.isSet(split);
    o.doubled = p.isSet(doubled);
    o.garbage = p.value(garbage).toLatin1();
    o.silent = p.isSet(silent);
    o.verbose = p.isSet(verbose);
    o.samples = p.value(samples);
    o.image = p.value(image);
    o.nakEot = p.isSet(nakEot);
    o.badReply = p.value(badReply).toLatin1();
    o.bootSilent = p.isSet(bootSilent);
    o.stallAfterFirst = p.isSet(stallAfterFirst);
    o.wire = p.isSet(wire);
    return o;
}

} // namespace kv7::sim
