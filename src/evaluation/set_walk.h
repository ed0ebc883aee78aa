#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "instance/packed_columns.h"

namespace intersections {

// The sets of 1 to min(m, n) events of an instance, in the order of
// enumerateIndexSets(n, m), taken in runs: the sets of a run share all their
// events but the last, which counts up from first() to n. For each run the
// walk holds the rows in which every shared event occurs, the intersection of
// their columns, so that a set's rows are that and one column more.
//
// The intersections are kept for each prefix of the run's events; the next
// run shares its events before the position that changed, so only the later
// prefixes are made again: fewer than two on average. Memory is m columns.
class SetWalk {
 public:
  using Word = PackedColumns::Word;

  // Walks `columns`, which must outlive the walk.
  SetWalk(const PackedColumns& columns, std::int32_t m);

  // Steps to the next run; false, and nothing more, after the last one.
  bool next();

  // The run's first set (event numbers from 1); its size is that of every set of the run.
  const std::vector<std::int32_t>& set() const { return set_; }
  std::size_t size() const { return set_.size(); }
  std::int32_t first() const { return set_.back(); }
  // The rows in which every event of the run but the last occurs
  // (columns.words words), or nullptr for sets of one event.
  const Word* head() const {
    return set_.size() >= 2 ? prefix_.data() + (size() - 2) * words_ : nullptr;
  }
  // The rows of the run's set whose last event is `last`, from first() to n.
  std::size_t rowsWith(std::int32_t last) const {
    const Word* column = columns_.column(last);
    return set_.size() == 1 ? countRows(column, words_) : countRows(head(), column, words_);
  }

 private:
  const PackedColumns& columns_;
  std::int32_t n_;
  std::int32_t m_;
  std::size_t words_;
  std::vector<std::int32_t> set_;
  std::vector<Word> prefix_;  // [i * words, (i + 1) * words): the rows of the first i + 1 events
};

}  // namespace intersections
