#pragma once

#include "run/Outcome.h"

namespace kv7::run {

// One unit's record: a JSON file in `folder`, named by the port and the
// UTC start time (COM3-20261209T101500.123Z.json), holding kv7-run's
// version, the host, the start and end, the port and its device, every
// step with its replies and verdict, the SHA-256 of each file uploaded and
// the verdict with its cause. Written whole to a temporary name, then
// renamed, as soon as the unit ends. Returns the reason it could not be
// written, empty when it was; `path` gets its name.
QString WriteUnitRecord(const QString &folder, const PortResult &result, QString *path);

} // namespace kv7::run
