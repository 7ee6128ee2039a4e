#include "run/RunOptions.h"

#include "commands/CommandTable.h"
#include "files/UploadFile.h"
#include "protocol/FirmwareTransfer.h"
#include "protocol/Frame.h"
#include "protocol/SampleTransfer.h"
#include "serial/SerialSettings.h"

#include <QCryptographicHash>
#include <QRegularExpression>

#include <iterator>

namespace kv7::run {

namespace {

const char *const HelpText =
    "Usage: kv7-run --port PORT [--port PORT ...] [OPTION...] STEP...\n"
    "\n"
    "Runs the steps, in order, on every port at the same time, and prints each\n"
    "step's result and one result line per port.\n"
    "\n"
    "  --port PORT   COM1 to COM255 as kv7-test lists them, a device such as\n"
    "                /dev/ttyUSB0 or /dev/serial/by-id/..., or by-id:SERIAL or\n"
    "                by-path:PATH (a link in /dev/serial/by-id or by-path whose\n"
    "                name is or holds it); give it once for each device\n"
    "  --speed BAUD  300, 1200, 9600 (the default), 19200, 57600 or 115200\n"
    "  --log FILE    appends a log of the session, both directions, each entry\n"
    "                with its port, to FILE\n"
    "  --accept LETTERS  reply status letters that pass a step besides R, the\n"
    "                only one accepted by default (the green lamp); e.g. RP\n"
    "  --max-naks N  a firmware block refused N times in a row fails the step\n"
    "                (default 10; 0 resends for as long as the device asks)\n"
    "  --json        JSON Lines on stdout instead of text (schema: man kv7-run)\n"
    "  --junit FILE  writes a JUnit XML report to FILE at the end\n"
    "  --record DIR  writes a JSON record of each port's (unit's) run into DIR\n"
    "  --station     each port is a slot: waits for a unit, runs the steps,\n"
    "                waits for it to go, and again, until SIGINT or SIGTERM\n"
    "  --units N     with --station: a slot ends after N units\n"
    "  --shared      runs on a port that another program also holds open\n"
    "                (without it, such a port fails at its start)\n"
    "  --help        print this text and exit\n"
    "  --version     print the version and exit\n"
    "\n"
    "Steps (each wait for a reply is at most 5 s; a step passes only when every\n"
    "reply it waits for carries an accepted status letter):\n"
    "  version              Get Version, prints the reply\n"
    "  battery              Get Battery, prints the reply\n"
    "  gains                reads the eight gains and prints them\n"
    "  gain CH VALUE        sets channel CH (1-8) to VALUE (0-127)\n"
    "  send WORD [PARAM]    sends SOH WORD [STX PARAM] EOT, prints the reply\n"
    "  erase AREA           erases sample area AREA (0-99)\n"
    "  sample AREA FILE     uploads FILE into sample area AREA\n"
    "  firmware FILE        uploads the firmware image FILE\n"
    "  wait MS              waits MS milliseconds (up to 3600000)\n"
    "  expect TEXT          passes when the step before printed TEXT\n"
    "\n"
    "Exit status: 0 when every step succeeded on every port, 1 when a step\n"
    "failed on some port, 2 for a usage error (nothing is sent then), 128+N\n"
    "when signal N cut a step short. The manual: man kv7-run.\n";

RunLine Answer(int code, const QString &text)
{
    RunLine line;
    line.exitCode = code;
    line.text = text;
    return line;
}

// A whole decimal number within [low, high].
std::optional<int> Number(const QString &text, int low, int high)
{
    static const QRegularExpression digits(QStringLiteral("^[0-9]{1,7}$"));
    if (!digits.match(text).hasMatch())
        return std::nullopt;
    const int n = text.toInt();
    return n >= low && n <= high ? std::optional<int>(n) : std::nullopt;
}

using Args = QStringList;

Step Made(Step::Kind kind)
{
    Step step;
    step.kind = kind;
    return step;
}

Step ButtonStep(Buttons::Id id, const CommandInputs &in = {})
{
    Step step = Made(Step::Frames);
    step.frames = CommandFor(id, in).frames;
    return step;
}

// The step's checked form, or the reason its arguments do not fit.
std::optional<Step> Build(const QString &name, const Args &a, QString *why)
{
    const auto bad = [&](const QString &what) {
        *why = QStringLiteral("%1: %2").arg(name, what);
        return std::nullopt;
    };
    if (name == QLatin1String("version"))
        return ButtonStep(Buttons::GetVersion);
    if (name == QLatin1String("battery"))
        return ButtonStep(Buttons::GetBattery);
    if (name == QLatin1String("gains")) {
        Step step = ButtonStep(Buttons::GetGains);
        step.kind = Step::Gains;
        return step;
    }
    if (name == QLatin1String("gain")) {
        const std::optional<int> channel = Number(a.value(0), 1, 8);
        const std::optional<int> gain = Number(a.value(1), 0, 127);
        if (!channel || !gain)
            return bad(QStringLiteral("needs a channel from 1 to 8 and a gain from 0 to 127"));
        Step step = Made(Step::Frames);
        step.frames = {SetGainFrame(*channel, *gain)};
        return step;
    }
    if (name == QLatin1String("send")) {
        if (a.value(0).isEmpty())
            return bad(QStringLiteral("needs a command word"));
        CommandInputs in;
        in.sendWord = a.value(0);
        in.sendParam = a.value(1);
        return ButtonStep(Buttons::SendString, in);
    }
    if (name == QLatin1String("erase")) {
        if (!Number(a.value(0), 0, 99))
            return bad(QStringLiteral("needs an area from 0 to 99"));
        CommandInputs in;
        in.eraseArea = a.value(0);
        return ButtonStep(Buttons::EraseSampleArea, in);
    }
    if (name == QLatin1String("sample") || name == QLatin1String("firmware")) {
        const bool sample = name == QLatin1String("sample");
        if (sample && !Number(a.value(0), 0, 99))
            return bad(QStringLiteral("needs an area from 0 to 99"));
        const QString path = a.value(sample ? 1 : 0);
        QString cannot;
        const std::optional<QByteArray> data =
            ReadUploadFile(path, sample ? SampleTransfer::MaxFileBytes : FirmwareTransfer::MaxImageBytes, &cannot);
        if (!data)
            return bad(QStringLiteral("cannot read %1: %2").arg(path, cannot));
        if (!sample && data->isEmpty())
            return bad(QStringLiteral("%1 is empty").arg(path));
        Step step = Made(sample ? Step::Sample : Step::Firmware);
        step.area = sample ? a.value(0) : QString();
        step.data = *data;
        step.sha256 = QCryptographicHash::hash(*data, QCryptographicHash::Sha256);
        return step;
    }
    if (name == QLatin1String("expect")) {
        if (a.value(0).isEmpty())
            return bad(QStringLiteral("needs the text to look for"));
        Step step = Made(Step::Expect);
        step.text = a.value(0);
        return step;
    }
    const std::optional<int> ms = Number(a.value(0), 0, 3600000);
    if (!ms)
        return bad(QStringLiteral("needs a number of milliseconds from 0 to 3600000"));
    Step step = Made(Step::Wait);
    step.ms = *ms;
    return step;
}

// Each step's name and how many words follow it; send takes a parameter
// only when the word after it is not the next step.
struct Form {
    const char *name;
    int args;
    bool optionalLast;
};
constexpr Form Forms[] = {
    {"version", 0, false}, {"battery", 0, false}, {"gains", 0, false},    {"gain", 2, false}, {"send", 2, true},
    {"erase", 1, false},   {"sample", 2, false},  {"firmware", 1, false}, {"wait", 1, false},
    {"expect", 1, false},
};

const Form *FormOf(const QString &word)
{
    for (const Form &form : Forms)
        if (word == QLatin1String(form.name))
            return &form;
    return nullptr;
}

// "COM<n>" (any case) with n from 1 to 255, or a device path.
bool PortName(const QString &name)
{
    static const QRegularExpression com(QStringLiteral("^COM([0-9]{1,3})$"), QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch m = com.match(name);
    return name.startsWith(QLatin1Char('/')) || name.startsWith(QLatin1String("by-id:")) ||
           name.startsWith(QLatin1String("by-path:")) || (m.hasMatch() && Number(m.captured(1), 1, 255));
}

} // namespace

RunLine UsageError(const QString &what)
{
    return Answer(2, QStringLiteral("kv7-run: %1\nTry 'kv7-run --help' for more information.\n").arg(what));
}

RunLine ParseRunLine(const QStringList &args)
{
    RunLine line;
    RunOptions &o = line.options;
    bool optionsEnd = false;
    // A second --speed or --log would silently win over the first.
    QStringList given;
    for (int i = 0; i < args.size(); ++i) {
        const QString &arg = args[i];
        if (!optionsEnd && arg == QLatin1String("--")) {
            optionsEnd = true;
            continue;
        }
        if (!optionsEnd && arg == QLatin1String("--help"))
            return Answer(0, QString::fromLatin1(HelpText));
        if (!optionsEnd && arg == QLatin1String("--version"))
            return Answer(0, QStringLiteral("kv7-run %1\n").arg(QStringLiteral(KV7_VERSION)));
        if (!optionsEnd && arg.startsWith(QLatin1String("--"))) {
            const qsizetype eq = arg.indexOf(QLatin1Char('='));
            const QString name = arg.mid(2, eq < 0 ? -1 : eq - 2);
            static const QStringList flags = {QStringLiteral("json"), QStringLiteral("station"), QStringLiteral("shared")};
            if (flags.contains(name) && eq < 0) {
                if (given.contains(name))
                    return UsageError(QStringLiteral("option '--%1' is given twice").arg(name));
                given.append(name);
                (name == QLatin1String("json") ? o.json : name == QLatin1String("station") ? o.station : o.shared) = true;
                continue;
            }
            static const QStringList known = {QStringLiteral("port"),   QStringLiteral("speed"),    QStringLiteral("log"),
                                              QStringLiteral("accept"), QStringLiteral("max-naks"), QStringLiteral("junit"),
                                              QStringLiteral("record"), QStringLiteral("units")};
            if (!known.contains(name))
                return UsageError(QStringLiteral("unknown option '%1'").arg(arg));
            if (eq < 0 && i + 1 >= args.size())
                return UsageError(QStringLiteral("option '%1' needs a value").arg(arg));
            const QString value = eq < 0 ? args[++i] : arg.mid(eq + 1);
            if (name == QLatin1String("port")) {
                o.ports.append(value);
                continue;
            }
            if (given.contains(name))
                return UsageError(QStringLiteral("option '--%1' is given twice").arg(name));
            given.append(name);
            if (name == QLatin1String("accept")) {
                static const QRegularExpression letters(QStringLiteral("^[!-~]{1,94}$"));
                if (!letters.match(value).hasMatch())
                    return UsageError(QStringLiteral("--accept needs status letters, such as RP"));
                o.accept = "R" + value.toLatin1();
            } else if (name == QLatin1String("max-naks") || name == QLatin1String("units")) {
                const bool naks = name == QLatin1String("max-naks");
                const std::optional<int> n = Number(value, naks ? 0 : 1, 1000000);
                if (!n)
                    return UsageError(QStringLiteral("--%1 needs a number from %2 to 1000000").arg(name).arg(naks ? 0 : 1));
                (naks ? o.maxNaks : o.units) = *n;
            } else if (name == QLatin1String("junit") || name == QLatin1String("record")) {
                if (value.isEmpty())
                    return UsageError(QStringLiteral("--%1 needs a path").arg(name));
                (name == QLatin1String("junit") ? o.junit : o.record) = value;
            } else {
                (name == QLatin1String("speed") ? o.speed : o.log) = value;
            }
            continue;
        }
        const Form *form = FormOf(arg);
        if (!form)
            return UsageError(QStringLiteral("unknown step '%1'").arg(arg));
        Args stepArgs;
        for (int n = 0; n < form->args && i + 1 < args.size(); ++n) {
            if (form->optionalLast && n == form->args - 1 && FormOf(args[i + 1]))
                break;
            stepArgs.append(args[++i]);
        }
        if (stepArgs.size() < form->args - (form->optionalLast ? 1 : 0))
            return UsageError(QStringLiteral("%1: missing argument").arg(arg));
        if (arg == QLatin1String("expect") && o.steps.empty())
            return UsageError(QStringLiteral("expect: there is no step before it to check"));
        QString why;
        std::optional<Step> step = Build(arg, stepArgs, &why);
        if (!step)
            return UsageError(why);
        step->name = arg;
        step->args = stepArgs;
        o.steps.push_back(*step);
    }
    if (o.ports.isEmpty())
        return UsageError(QStringLiteral("no --port given"));
    for (int i = 0; i < o.ports.size(); ++i) {
        if (!PortName(o.ports[i]))
            return UsageError(QStringLiteral("'%1' is not a port: COM1 to COM255, a device path, by-id:SERIAL or by-path:PATH").arg(o.ports[i]));
        for (int j = 0; j < i; ++j)
            if (o.ports[j].compare(o.ports[i], o.ports[i].startsWith(QLatin1Char('/')) ? Qt::CaseSensitive
                                                                                       : Qt::CaseInsensitive) == 0)
                return UsageError(QStringLiteral("port %1 is given twice").arg(o.ports[i]));
    }
    if (std::find(std::begin(OfferedSpeeds), std::end(OfferedSpeeds), o.speed.toStdString()) == std::end(OfferedSpeeds))
        return UsageError(QStringLiteral("speed '%1' is not one of 300, 1200, 9600, 19200, 57600, 115200").arg(o.speed));
    if (o.steps.empty())
        return UsageError(QStringLiteral("no step given"));
    if (o.units > 0 && !o.station)
        return UsageError(QStringLiteral("--units counts a station's units: it needs --station"));
    return line;
}

} // namespace kv7::run
