#pragma once

#include <cstdint>
#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

#include "bounds/order_bounds.h"

namespace intersections {

// What a certificates file says of the run it comes from: all that is needed,
// besides the probability file itself, to rebuild the intervals of its lines.
struct CertificateInput {
  std::string name;  // the file read, as the messages name it
  std::int32_t n = 0;
  std::int32_t atLeast = 1;                // the event bounded: at least this many events
  std::optional<std::uint32_t> halfWidth;  // --delta in units; none: one unit of the last decimal
};

// Writes, for every sharp and Boolean bound of `rows`, the certificate that
// proves the exact value behind its printed text, in the text format that
// union-bounds(1) documents under CERTIFICATES: a header of the input facts,
// then one "bound" line per bound (its proof's exact integers and
// rationals) and one "witness" line per Boolean bound (the distribution its
// master found in floating point, an illustration only). Lines end in LF.
// Throws std::logic_error when a Boolean bound better than the sharp one has
// no proof of its own.
void writeCertificates(std::ostream& out, const CertificateInput& input,
                       const std::vector<OrderBounds>& rows);

}  // namespace intersections
