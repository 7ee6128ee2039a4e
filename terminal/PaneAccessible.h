#pragma once

namespace kv7 {

// Screen readers get the terminal pane's text, lines and selection through
// Qt's accessibility text interface. The window installs it before it makes
// its pane; installing twice is harmless.
void InstallPaneAccessibility();

} // namespace kv7
