#pragma once

#include <QByteArray>
#include <QList>
#include <QSet>

namespace kv7::sim {

// The device's sample store, without I/O: "&PF" selects an area and starts
// it afresh, every "&HX" line after it adds 32 bytes. A line is checksum
// (two hex digits, XOR of the data bytes), ":20:", index (four hex digits,
// 0000 after the selection, one up per line), ":" and 64 hex digits of data,
// all hex upper-case.
class SampleArea {
public:
    static constexpr int LineBytes = 32;
    static constexpr int LineSize = 11 + 2 * LineBytes;

    // What one call did, for the log and the samples file.
    struct Event {
        enum Kind { Selected, Accepted, Rejected } kind;
        int index = 0; // the index the line was expected to carry
    };

    void Select(const QByteArray &area);
    // Whether the line was accepted. Every line moves the expected index on,
    // so one bad line does not make all after it bad as well.
    bool Line(const QByteArray &line);

    bool HasArea() const { return m_selected; }
    const QByteArray &Area() const { return m_area; }
    const QByteArray &Data() const { return m_data; }
    // 0..0xFFFF; settable so the wrap can be reached without 65536 lines.
    int expectedIndex = 0;
    // Indexes whose lines are rejected even when good, to try the host's
    // handling of a refusal.
    QSet<int> rejectedIndexes;

    // Events since the last call, oldest first.
    QList<Event> TakeEvents();

private:
    bool m_selected = false;
    QByteArray m_area;
    QByteArray m_data;
    QList<Event> m_events;
};

} // namespace kv7::sim
