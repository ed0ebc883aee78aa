#include "evaluation/set_walk.h"

#include <algorithm>
#include <limits>
#include <stdexcept>

#include "instance/index_sets.h"

namespace intersections {

SetWalk::SetWalk(const PackedColumns& columns, std::int32_t m)
    : columns_(columns), m_(m), words_(columns.words) {
  if (columns.events > static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max()))
    throw std::invalid_argument("the outcome matrix has more than 2147483647 events");
  n_ = static_cast<std::int32_t>(columns.events);
}

bool SetWalk::next() {
  // The run after the one just walked starts where its last set stood, with
  // the last event at n.
  if (!set_.empty()) set_.back() = n_;
  const int changed = nextIndexSet(set_, n_, m_);
  if (changed < 0) return false;
  const std::size_t size = set_.size();
  if (prefix_.size() < size * words_) prefix_.resize(size * words_);
  const auto from = static_cast<std::size_t>(changed);
  if (from == 0) std::copy_n(columns_.column(set_[0]), words_, prefix_.begin());
  // Only the prefixes of the shared events matter: the last is never stored.
  for (std::size_t i = std::max<std::size_t>(from, 1); i + 1 < size; ++i) {
    const Word* column = columns_.column(set_[i]);
    Word* to = prefix_.data() + i * words_;
    const Word* before = to - words_;
    for (std::size_t w = 0; w < words_; ++w) to[w] = before[w] & column[w];
  }
  return true;
}

}  // namespace intersections
