#include "sim/SampleArea.h"

namespace kv7::sim {

namespace {

// Upper-case only, as the device wants it; -1 for anything else.
int UpperHexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// The value of `digits` hex digits at `at`, -1 when one is not a digit.
int HexValue(const QByteArray &text, int at, int digits)
{
    int value = 0;
    for (int i = at; i < at + digits; ++i) {
        const int d = UpperHexDigit(text[i]);
        if (d < 0)
            return -1;
        value = value * 16 + d;
    }
    return value;
}

// Shape, digits and checksum; the index is judged apart.
bool Valid(const QByteArray &line, QByteArray *data)
{
    if (line.size() != SampleArea::LineSize || line.mid(2, 4) != ":20:" || line[10] != ':')
        return false;
    const int checksum = HexValue(line, 0, 2);
    int sum = 0;
    for (int i = 0; i < SampleArea::LineBytes; ++i) {
        const int byte = HexValue(line, 11 + 2 * i, 2);
        if (byte < 0)
            return false;
        sum ^= byte;
        *data += char(byte);
    }
    return checksum == sum;
}

} // namespace

void SampleArea::Select(const QByteArray &area)
{
    m_selected = true;
    m_area = area;
    m_data.clear();
    expectedIndex = 0;
    m_events.append({Event::Selected, 0});
}

bool SampleArea::Line(const QByteArray &line)
{
    const int index = expectedIndex;
    expectedIndex = (expectedIndex + 1) & 0xFFFF;
    QByteArray data;
    const bool good = m_selected && Valid(line, &data) && HexValue(line, 6, 4) == index
        && !rejectedIndexes.contains(index);
    if (good)
        m_data += data;
    m_events.append({good ? Event::Accepted : Event::Rejected, index});
    return good;
}

QList<SampleArea::Event> SampleArea::TakeEvents()
{
    QList<Event> events;
    events.swap(m_events);
    return events;
}

} // namespace kv7::sim
