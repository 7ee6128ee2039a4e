#pragma once

namespace kv7 {

class TerminalPane;

// Screen readers get the pane's text, lines and selection through Qt's
// accessibility text interface. Installing twice is harmless.
void InstallPaneAccessibility();
// Tells assistive technology that the pane's selection changed.
void NotifySelection(TerminalPane *pane);

} // namespace kv7
