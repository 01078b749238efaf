// The old place of base/wildcard.h, for the engine's sources and platform/posix/drive_map.cpp
// until they include the new one.
// tools/check_layers lists who still does; delete this with the last.
#pragma once

#include "base/wildcard.h"
