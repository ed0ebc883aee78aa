#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "common/memory_limit.h"
#include "reporting/boolean_scope.h"

namespace intersections {

// The memory the Boolean bounds may take: what memoryLimit finds, or, when it
// finds nothing, so much that memory never stops them.
double booleanMemoryBytes(const std::optional<MemoryLimit>& memory);

// Why the Boolean bounds of a report on n events in `mode` stop before its
// last order `orders`, as one line without the program's name: "the Boolean
// bounds are left out from order 4 on: orders 1 to 4 have 1,585 lines, more
// than 1,000 (--boolean raises the limit to 6,000)". A limit that --boolean
// would lift is named with that hint; one that it would not is named as the
// limit of --boolean. `memory` is what `scope` was decided with (it names the
// memory available). "" when every order gets them or none was wanted
// (--no-boolean).
std::string booleanNote(std::int32_t n, std::int32_t orders, BooleanMode mode,
                        const BooleanScope& scope, const std::optional<MemoryLimit>& memory);

}  // namespace intersections
