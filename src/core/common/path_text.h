#pragma once

#include "core/platform/paths.h"

namespace sw {

// Paths to and from the core's UTF-8 text, as the platform converts them.
using platform::pathFromUtf8;
using platform::utf8Of;

} // namespace sw
