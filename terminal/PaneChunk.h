#pragma once

#include <QByteArray>

namespace kv7 {

// The text a received chunk adds to the terminal pane: the chunk with CR LF
// put after its first EOT, so each reply tends to start a new line.
QByteArray PaneChunk(const QByteArray &chunk);

} // namespace kv7
