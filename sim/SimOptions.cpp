#include "sim/SimOptions.h"

#include "serial/PortFolder.h"

#include <QCommandLineParser>

namespace kv7::sim {

std::optional<SimOptions> SimOptions::Parse(const QStringList &arguments, QString *error)
{
    QCommandLineParser p;
    p.setApplicationDescription(QStringLiteral(
        "A simulated KV7 on a pseudo-terminal. It links the terminal as COM<n> in the port folder, prints\n"
        "\"COM<n> <device>\" and answers every command frame with a reply frame (SOH, status letter,\n"
        "body, EOT). It keeps eight gains for \"GAV\" and \"AV \". It prints \"line <speed>\" whenever\n"
        "the program on the other side changes the line speed. Ends on SIGINT (Ctrl-C), SIGTERM or SIGHUP\n"
        "and removes its link. Exit codes: 0 stopped, 2 bad options or port taken, 1 system error."));
    p.addHelpOption();
    const QCommandLineOption com(QStringLiteral("com"), QStringLiteral("Port number to link, 1-255 (default: the lowest free). A dangling link is replaced, a live one is an error."), QStringLiteral("N"));
    const QCommandLineOption folder(QStringLiteral("folder"), QStringLiteral("Port folder (default: %1).").arg(PortFolder::DefaultPath()), QStringLiteral("DIR"));
    const QCommandLineOption status(QStringLiteral("status"), QStringLiteral("Status letter of every reply (default: R); malformed gain commands get E."), QStringLiteral("X"));
    const QCommandLineOption split(QStringLiteral("split"), QStringLiteral("Send every reply one byte per write, about 1 ms apart."));
    const QCommandLineOption doubled(QStringLiteral("double"), QStringLiteral("Send every reply twice, back to back in one write."));
    const QCommandLineOption garbage(QStringLiteral("garbage"), QStringLiteral("Send TEXT (Latin-1) before every reply, in the same write."), QStringLiteral("TEXT"));
    const QCommandLineOption silent(QStringLiteral("silent"), QStringLiteral("Never reply (frames are still read, and logged with --verbose)."));
    const QCommandLineOption gains(QStringLiteral("gains"), QStringLiteral("Initial gains of channels 1-8, comma-separated (default: all 0)."), QStringLiteral("LIST"));
    const QCommandLineOption verbose(QStringLiteral("verbose"), QStringLiteral("Log every frame received and every reply; control bytes show as <n>."));
    p.addOptions({com, folder, status, split, doubled, garbage, silent, gains, verbose});
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
    if (p.isSet(status)) {
        const QByteArray s = p.value(status).toLatin1();
        // A control byte as status would break the framing.
        if (s.size() != 1 || s[0] < ' ' || s[0] > '~') {
            *error = QStringLiteral("--status needs one printable character");
            return std::nullopt;
        }
        o.status = s[0];
    }
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
    return o;
}

} // namespace kv7::sim
