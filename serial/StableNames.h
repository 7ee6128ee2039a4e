#pragma once

#include <QString>

namespace kv7 {

// udev's stable names for serial adapters: `by-id` (maker, product and
// serial number) and `by-path` (the socket it is plugged into), links under
// `root` (/dev/serial) that lead to whatever ttyUSB number the adapter has
// today.

// The by-id link that leads to `device`, else the by-path one; empty when
// none does (a pty, a built-in port).
QString StableName(const QString &device, const QString &root);

// "by-id:SERIAL" or "by-path:PATH": the one link in that folder whose name
// is the text or holds it. `why` says what went wrong when none or several
// match.
struct StableLookup {
    bool asked = false; // the text has one of the two prefixes
    QString link;       // the link found; empty when none or several
    QString why;
};
StableLookup LookUpStableName(const QString &given, const QString &root);

} // namespace kv7
