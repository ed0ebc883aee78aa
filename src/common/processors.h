#pragma once

namespace intersections {

// The processors this process may run on (its CPU affinity), at least 1.
int availableProcessors();

}  // namespace intersections
