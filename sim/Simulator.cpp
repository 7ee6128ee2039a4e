#include "sim/Simulator.h"

#include "protocol/ControlChars.h"
#include "protocol/Hex.h"
#include "protocol/LogFormat.h"

#include <QFile>
#include <QSaveFile>

#include <algorithm>
#include <cerrno>
#include <cstdio>

namespace kv7::sim {

namespace {

// The host writes its "{" about 10 ms apart; this much quiet ends the burst.
constexpr int SyncQuietMs = 30;

void WriteFailed(const QString &path, const QString &why)
{
    std::fprintf(stderr, "kv7-sim: cannot write %s: %s\n", qPrintable(path), qPrintable(why));
}

} // namespace

Simulator::Simulator(SimOptions options, QObject *parent) : QObject(parent), m_options(std::move(options))
{
    m_device.status = m_options.status;
    m_device.gains = m_options.gains;
    m_device.sampleStatus = m_options.sampleStatus;
    m_device.samples.rejectedIndexes = m_options.rejectLines;
    m_quiet.setSingleShot(true);
    m_quiet.setInterval(SyncQuietMs);
    connect(&m_quiet, &QTimer::timeout, this, [this] {
        if (m_boot)
            OnBootStep(m_boot->QuietElapsed());
    });
    if (m_options.wire) {
        m_wire = std::make_unique<WireLine>(m_port);
        connect(m_wire.get(), &WireLine::Arrived, this, &Simulator::OnReceived);
    } else {
        connect(&m_port, &PtyPort::Received, this, &Simulator::OnReceived);
    }
    connect(&m_port, &PtyPort::SpeedChanged, this, [this](int baud) { Log("line " + QByteArray::number(baud)); });
    if (m_options.latencyMs > 0)
        m_port.SetLatency(m_options.latencyMs);
}

OpenError Simulator::Start()
{
    if (m_wire && !m_wire->Error().isEmpty())
        return {m_wire->Error(), false};
    OpenError error = m_port.Open(m_options.folder, m_options.port);
    if (!error.Failed()) {
        Log(QStringLiteral("COM%1 %2").arg(m_port.Port()).arg(m_port.Device()).toLocal8Bit());
        if (m_options.streamSeconds > 0)
            StartStream();
    }
    return error;
}

void Simulator::StartStream()
{
    constexpr int BytesPerSecond = 115200 / 10; // 8 data bits, start and stop bit
    m_stream = std::make_unique<ReplyStream>(m_device, BytesPerSecond * ReplyStream::UnitMs / 1000);
    m_streamTimer.setInterval(10);
    m_streamTimer.setTimerType(Qt::PreciseTimer);
    connect(&m_streamTimer, &QTimer::timeout, this, &Simulator::StreamDue);
    m_streamClock.start();
    m_streamTimer.start();
}

void Simulator::StreamDue()
{
    // Catch up by the clock, so a late timer does not slow the byte rate.
    const qint64 endMs = qint64(m_options.streamSeconds) * 1000;
    const qint64 due = std::min(m_streamClock.elapsed(), endMs) / ReplyStream::UnitMs;
    while (m_stream->Units() < due)
        Transmit(m_stream->NextUnit());
    if (m_streamClock.elapsed() < endMs)
        return;
    m_streamTimer.stop();
    Log("stream done " + QByteArray::number(m_stream->Frames()));
}

void Simulator::Finish()
{
    // Replies go on after the stream, so their count is only final now.
    if (m_stream)
        Log("replies " + QByteArray::number(m_replyFrames));
    if (m_wire)
        for (const QByteArray &line : m_wire->Report())
            Log(line);
    // Output the other side did not take in time: "stream done" and
    // "replies" counted it as sent.
    const qint64 dropped = m_port.Dropped() + (m_wire ? m_wire->Dropped() : 0);
    if (dropped > 0)
        Log("dropped " + QByteArray::number(dropped) + " bytes");
}

void Simulator::Transmit(const QByteArray &bytes)
{
    if (m_wire)
        m_wire->Send(bytes);
    else
        m_port.Write(bytes);
}

void Simulator::Log(const QByteArray &line)
{
    if (m_outputFailed)
        return;
    if (std::fwrite(line.constData(), 1, size_t(line.size()), stdout) == size_t(line.size())
        && std::fputc('\n', stdout) != EOF && std::fflush(stdout) == 0)
        return;
    m_outputFailed = true;
    emit OutputFailed(errno);
}

void Simulator::OnReceived(const QByteArray &bytes)
{
    // Block frames start with SOH too, so the parser must not see them.
    if (m_boot)
        OnBootStep(m_boot->Feed(bytes));
    else
        OnFrames(bytes);
}

void Simulator::OnFrames(const QByteArray &bytes)
{
    for (const Frame &frame : m_parser.Feed(bytes)) {
        if (m_options.verbose) {
            const QByteArray word = frame.isShort ? "<20>" + frame.word : frame.word;
            Log("got " + EscapeBytes("\x01" + word + (frame.hasParam ? "\x02" + frame.param : QByteArray()) + "\x04"));
        }
        if (Device::EntersBootLoader(frame)) {
            // The host waits before its first "{", so nothing of the
            // transfer can be among the frames still to come.
            m_boot = std::make_unique<BootLoader>(BootLoader::Faults{m_options.nakEvery, m_options.nakEot});
            m_bootReplies = 0;
            Log("boot");
            return;
        }
        const QByteArray reply = m_device.Reply(frame);
        OnSampleEvents();
        if (m_options.silent)
            continue;
        if (m_options.verbose)
            Log("reply " + EscapeBytes(reply));
        const QByteArray once = m_options.garbage + reply;
        Send(m_options.doubled ? once + once : once);
        m_replyFrames += m_options.doubled ? 2 : 1;
    }
}

void Simulator::OnSampleEvents()
{
    const SampleArea &samples = m_device.samples;
    for (const SampleArea::Event &event : m_device.samples.TakeEvents()) {
        if (event.kind == SampleArea::Event::Rejected) {
            Log("bad line " + Hex4(event.index).toLatin1());
            continue;
        }
        if (event.kind == SampleArea::Event::Selected)
            Log("area " + samples.Area());
        else if (m_options.verbose)
            Log("sample " + Hex4(event.index).toLatin1());
        if (m_options.samples.isEmpty())
            continue;
        // A new area empties the file, every line adds its bytes.
        QFile file(m_options.samples);
        const bool selected = event.kind == SampleArea::Event::Selected;
        const QByteArray bytes = selected ? QByteArray() : samples.Data().right(SampleArea::LineBytes);
        if (!file.open(selected ? QIODevice::WriteOnly | QIODevice::Truncate : QIODevice::Append)
            || file.write(bytes) != bytes.size())
            WriteFailed(m_options.samples, file.errorString());
    }
}

void Simulator::OnBootStep(const BootLoader::Step &step)
{
    if (step.armQuiet)
        m_quiet.start();
    if (m_options.verbose)
        for (const BootLoader::Note &note : step.notes)
            LogBootNote(note);
    for (const char reply : step.replies)
        SendBootReply(reply);
    if (!step.finished)
        return;
    SaveImage();
    m_boot.reset();
    m_quiet.stop();
    m_parser = FrameParser();
    if (!step.rest.isEmpty())
        OnFrames(step.rest);
}

void Simulator::LogBootNote(const BootLoader::Note &note)
{
    static const char *const verdicts[] = {"ack", "repeat ack", "nak", "forced nak", "nak", "ack"};
    const QByteArray what = note.kind == BootLoader::Note::EndRefused || note.kind == BootLoader::Note::End
        ? QByteArray("eot")
        : "block " + QByteArray::number(note.block);
    Log(what + ' ' + verdicts[note.kind]);
}

void Simulator::SaveImage()
{
    const QByteArray &image = m_boot->Image();
    if (!m_options.image.isEmpty()) {
        QSaveFile file(m_options.image);
        if (!file.open(QIODevice::WriteOnly) || file.write(image) != image.size() || !file.commit())
            WriteFailed(m_options.image, file.errorString());
    }
    Log("image " + QByteArray::number(image.size()) + " bytes");
}

void Simulator::SendBootReply(char reply)
{
    if (m_options.bootSilent || (m_options.stallAfterFirst && m_bootReplies > 0))
        return;
    ++m_bootReplies;
    const bool badFirst = !m_options.badReply.isEmpty() && (reply == ACK || reply == NAK);
    if (badFirst)
        Transmit(m_options.badReply);
    // Behind a text, or behind a reply that still waits for its gap.
    if (badFirst || !m_delayed.IsEmpty())
        return m_delayed.Push(QByteArray(1, reply));
    Transmit(QByteArray(1, reply));
}

void Simulator::Send(const QByteArray &reply)
{
    if (m_options.split)
        m_split.Push(reply);
    else
        Transmit(reply);
}

} // namespace kv7::sim
