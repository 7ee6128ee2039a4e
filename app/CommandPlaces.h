#pragma once

#include "commands/CommandTable.h"

namespace kv7 {

// Where a command button stands in the window's design, in twips.
struct CommandPlace {
    int left, top, width, height;
};

const CommandPlace &CommandPlaceOf(Buttons::Id id);

} // namespace kv7
