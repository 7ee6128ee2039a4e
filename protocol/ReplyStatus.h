#pragma once

#include <QByteArray>
#include <QString>

namespace kv7 {

// The status lamp a reply's status letter lights: R green, P yellow, C red,
// any other white. Letters compare exactly.
enum class Lamp { White, Green, Yellow, Red };
Lamp LampOf(char status);

// The frame's status letter (the byte after its SOH); 0 for a frame too
// short to have one.
char StatusOf(const QByteArray &frame);

// Why a reply whose letter is not accepted fails what waited for it:
// the device answered "C" (red lamp): <1>C&DA<4>
QString WhyNotAccepted(const QByteArray &frame);

} // namespace kv7
