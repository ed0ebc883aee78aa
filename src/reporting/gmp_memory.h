#pragma once

namespace intersections {

// Makes GMP throw std::bad_alloc when it cannot get memory, instead of
// printing "GNU MP: Cannot allocate memory" and aborting the process. Call it
// first in main, before any GMP number exists.
void throwBadAllocWhenGmpRunsOut();

}  // namespace intersections
