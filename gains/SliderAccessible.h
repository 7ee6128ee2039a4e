#pragma once

namespace kv7 {

// Screen readers get a gain slider's value as the gain it stands for, 0 at
// the bottom to 127 at the top, not the scroll bar's own reversed value.
void InstallSliderAccessibility();

} // namespace kv7
