#pragma once

#include <cstddef>
#include <cstdint>
#include <ostream>
#include <streambuf>
#include <string>

namespace intersections {

// A stream buffer over `source` that can look ahead: what it has looked at
// stays for the reads that follow, so that reading through it takes the
// same characters, in the same order, as reading `source` itself.
class LookaheadBuffer : public std::streambuf {
 public:
  explicit LookaheadBuffer(std::streambuf* source) : source_(source) {}

  // The character `offset` places after the next one to be read (0: that
  // one), taken from the source as far as needed, or eof where it ends.
  int_type peekAt(std::size_t offset);

 protected:
  int_type underflow() override;

 private:
  std::streambuf* source_;
  std::string ahead_;  // taken from the source; the get area is all of it
};

// Called right after the whole number `value` has been read from `input`
// as the answer named `name` ("the density"). Warns on `err`, one line, when
// the number is directly followed by a point or an exponent: that text then
// starts the next answer ("12.5": the density is 12, ".5" is the next
// answer), or, after the `last` answer, is not used; and after the last
// answer also when its line goes on with more than blanks. Reads nothing
// away: the answers that follow are read as they would be without it.
void warnOfMisreadAnswer(LookaheadBuffer& input, const char* name, std::int32_t value, bool last,
                         std::ostream& err);

}  // namespace intersections
