#pragma once

namespace kv7 {

// Gives text this program holds on the clipboard to a running clipboard
// manager, so that it can still be pasted after the program has ended.
// Qt does this when its application object goes, which the immediate exit
// skips. Returns at once when the clipboard is not ours or no manager runs;
// waits at most about 5 s for a manager that does not answer. It handles
// none of Qt's events meanwhile, so no window handler can run. Only on X11.
void HandClipboardOver();

} // namespace kv7
