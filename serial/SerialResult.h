#pragma once

#include <QString>

namespace kv7 {

// Outcome of a serial operation: empty error means success. Callers must
// look at it, a failure never travels as an exception.
struct [[nodiscard]] SerialResult {
    QString error;
    // The port went away during the operation; PortLost has told the window.
    bool lost = false;

    bool ok() const { return error.isEmpty(); }
    static SerialResult Ok() { return {}; }
    static SerialResult Fail(const QString &why) { return {why.isEmpty() ? QStringLiteral("unknown error") : why}; }
    static SerialResult Lost(const QString &why) { return {Fail(why).error, true}; }
};

} // namespace kv7
