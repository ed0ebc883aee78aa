#include "bounds/atom_master.h"

#include <ClpPrimalColumnSteepest.hpp>
#include <algorithm>
#include <bit>

#include "lines/units.h"

namespace intersections {

AtomMaster::AtomMaster(const std::vector<AtomRow>& rows, std::int32_t order, std::size_t rowCount,
                       const BooleanTuning& tuning)
    : order_(order),
      secondPhasePrimalTolerance_(tuning.secondPhasePrimalTolerance),
      rows_(rows),
      rowCount_(rowCount),
      modelRow_(rows.size(), -1) {
  rowOf_.reserve(rows.size() * 2);
  for (std::size_t r = 0; r < rows.size(); ++r) rowOf_.emplace(rows[r].events, r);
  model_.setLogLevel(0);
  model_.setPrimalTolerance(tuning.firstPhasePrimalTolerance);
  model_.setDualTolerance(tuning.dualTolerance);
  // Full steepest-edge pricing: on these degenerate problems it takes far
  // fewer pivots than the default's switch to devex (measured: about half
  // the time at 12 events and order 4).
  ClpPrimalColumnSteepest steepest(1);
  model_.setPrimalColumnPivotAlgorithm(steepest);
}

void AtomMaster::raiseOrder(std::int32_t order, std::size_t rowCount) {
  order_ = order;
  rowCount_ = rowCount;
}

void AtomMaster::appendRowsWithin(EventSet atom, std::vector<std::size_t>& rows) const {
  rows.push_back(0);
  std::vector<EventSet> members;
  for (EventSet rest = atom; rest != 0; rest &= rest - 1) members.push_back(rest & -rest);
  std::vector<EventSet> frontier{0};  // the subsets of the current size
  for (std::int32_t size = 1; size <= order_ && !frontier.empty(); ++size) {
    std::vector<EventSet> next;
    for (const EventSet subset : frontier) {
      // Extend by members above the subset's highest event, so each set comes once.
      const EventSet highest = subset == 0 ? 0 : EventSet{1} << (63 - std::countl_zero(subset));
      for (const EventSet member : members)
        if (member > highest) next.push_back(subset | member);
    }
    for (const EventSet subset : next) rows.push_back(rowOf_.at(subset));
    frontier = std::move(next);
  }
}

double AtomMaster::atomCost(std::size_t atom) const {
  return objective_.sign != 0 && std::popcount(atoms_[atom]) >= objective_.atLeast
             ? static_cast<double>(objective_.sign)
             : 0.0;
}

void AtomMaster::addRows(const std::vector<std::size_t>& rows) {
  std::vector<double> low, high, value;
  std::vector<CoinBigIndex> starts{0};
  std::vector<int> index;
  std::vector<std::size_t> added;
  for (const std::size_t r : rows) {
    if (modelRow_[r] >= 0) continue;
    modelRow_[r] = model_.numberRows() + static_cast<int>(added.size());
    added.push_back(r);
    // The row's probability under x0, which its interval is shifted by.
    long double activity = 0;
    for (std::size_t atom = 0; atom < atoms_.size(); ++atom) {
      if ((atoms_[atom] & rows_[r].events) != rows_[r].events) continue;
      activity += base_[atom];
      index.push_back(atomColumn_[atom]);
    }
    starts.push_back(static_cast<CoinBigIndex>(index.size()));
    low.push_back(static_cast<double>(
        (static_cast<long double>(rows_[r].low) / unitsPerOne - activity) * scale_));
    high.push_back(static_cast<double>(
        (static_cast<long double>(rows_[r].high) / unitsPerOne - activity) * scale_));
  }
  if (added.empty()) return;
  value.assign(index.size(), 1.0);
  model_.addRows(static_cast<int>(added.size()), low.data(), high.data(), starts.data(),
                 index.data(), value.data());
  // A surplus and a shortfall a row, free in the first phase, held at 0 after.
  std::vector<CoinBigIndex> columnStarts;
  std::vector<int> columnRows;
  std::vector<double> columnValues;
  for (const std::size_t r : added) {
    for (const double side : {1.0, -1.0}) {
      columnStarts.push_back(static_cast<CoinBigIndex>(columnRows.size()));
      columnRows.push_back(modelRow_[r]);
      columnValues.push_back(side);
    }
  }
  columnStarts.push_back(static_cast<CoinBigIndex>(columnRows.size()));
  const std::size_t count = columnRows.size();
  const bool firstPhase = objective_.sign == 0;
  const std::vector<double> columnLow(count, 0.0),
      columnHigh(count, firstPhase ? COIN_DBL_MAX : 0.0), cost(count, firstPhase ? 1.0 : 0.0);
  const int first = model_.numberColumns();
  model_.addColumns(static_cast<int>(count), columnLow.data(), columnHigh.data(), cost.data(),
                    columnStarts.data(), columnRows.data(), columnValues.data());
  for (std::size_t i = 0; i < count; ++i) artificials_.push_back(first + static_cast<int>(i));
}

void AtomMaster::addAtoms(const std::vector<EventSet>& atoms) {
  if (atoms.empty()) return;
  std::vector<CoinBigIndex> starts{0};
  std::vector<int> index;
  std::vector<std::size_t> within;
  std::vector<double> high, cost;
  int column = model_.numberColumns();
  for (const EventSet atom : atoms) {
    within.clear();
    appendRowsWithin(atom, within);
    // An atom's probability is at most that of every set of events it holds.
    std::uint32_t cap = unitsPerOne;
    const std::size_t first = index.size();
    for (const std::size_t r : within) {
      cap = std::min(cap, rows_[r].high);
      if (modelRow_[r] >= 0) index.push_back(modelRow_[r]);
    }
    std::sort(index.begin() + static_cast<std::ptrdiff_t>(first), index.end());
    starts.push_back(static_cast<CoinBigIndex>(index.size()));
    atoms_.push_back(atom);
    atomColumn_.push_back(column++);
    caps_.push_back(cap);
    base_.push_back(0.0);
    high.push_back(capped_ ? static_cast<double>(cap) / unitsPerOne * scale_ : COIN_DBL_MAX);
    cost.push_back(atomCost(atoms_.size() - 1));
  }
  const std::vector<double> value(index.size(), 1.0), low(atoms.size(), 0.0);
  model_.addColumns(static_cast<int>(atoms.size()), low.data(), high.data(), cost.data(),
                    starts.data(), index.data(), value.data());
}

void AtomMaster::setObjective(const AtomObjective& objective) {
  objective_ = objective;
  for (const int column : artificials_) {
    model_.setObjectiveCoefficient(column, objective.sign == 0 ? 1.0 : 0.0);
    if (objective.sign != 0) model_.setColumnUpper(column, 0.0);
  }
  offset_ = 0;
  for (std::size_t atom = 0; atom < atoms_.size(); ++atom) {
    model_.setObjectiveCoefficient(atomColumn_[atom], atomCost(atom));
    offset_ += atomCost(atom) * static_cast<long double>(base_[atom]);
  }
}

void AtomMaster::dropCaps() {
  capped_ = false;
  for (const int column : atomColumn_) model_.setColumnUpper(column, COIN_DBL_MAX);
}

std::vector<long double> AtomMaster::activityOf(const std::vector<long double>& x) const {
  std::vector<long double> activity(rows_.size(), 0.0L);
  std::vector<std::size_t> within;
  for (std::size_t atom = 0; atom < atoms_.size(); ++atom) {
    if (x[atom] == 0) continue;
    within.clear();
    appendRowsWithin(atoms_[atom], within);
    for (const std::size_t r : within) activity[r] += x[atom];
  }
  return activity;
}

std::vector<long double> AtomMaster::solution() const {
  const double* x = model_.primalColumnSolution();
  std::vector<long double> result(atoms_.size());
  for (std::size_t atom = 0; atom < atoms_.size(); ++atom)
    result[atom] = base_[atom] + static_cast<long double>(x[atomColumn_[atom]]) / scale_;
  return result;
}

void AtomMaster::recentre() {
  std::vector<long double> x = solution();
  for (std::size_t atom = 0; atom < atoms_.size(); ++atom) {
    base_[atom] = static_cast<double>(std::max(x[atom], 0.0L));
    x[atom] = base_[atom];
  }
  const std::vector<long double> activity = activityOf(x);
  scale_ = unitsPerOne;
  capped_ = false;
  model_.setPrimalTolerance(secondPhasePrimalTolerance_);
  for (std::size_t r = 0; r < rowCount_; ++r) {
    if (modelRow_[r] < 0) continue;
    model_.setRowLower(modelRow_[r], static_cast<double>(rows_[r].low - activity[r] * scale_));
    model_.setRowUpper(modelRow_[r], static_cast<double>(rows_[r].high - activity[r] * scale_));
  }
  for (const int column : artificials_) model_.setColumnUpper(column, 0.0);
  for (std::size_t atom = 0; atom < atoms_.size(); ++atom) {
    model_.setColumnLower(atomColumn_[atom], -base_[atom] * scale_);
    model_.setColumnUpper(atomColumn_[atom], COIN_DBL_MAX);
  }
  double* solution = model_.primalColumnSolution();
  std::fill(solution, solution + model_.numberColumns(), 0.0);
}

bool AtomMaster::solve() {
  // New atoms keep the basis primal feasible; new rows do not, and the
  // primal simplex takes them in too. The dual simplex would be the usual
  // choice there, but nearly every atom costs the same, it stalls on the
  // ties (measured: 10,000 pivots to take in 2 rows at 20 events in the
  // first phase, and 2.6 times the time of the primal at 16 events of
  // density 30 in the second).
  // A pivot's work grows with the rows of the master: one unit for each
  // started 64 of them (measured: about 0.9 microseconds a row and pivot
  // from 70 to 250 rows, at 10 to 20 events and orders 2 to 4).
  const auto count = [&] {
    work_ += static_cast<std::uint64_t>(std::max(model_.numberIterations(), 0)) *
             static_cast<std::uint64_t>((model_.numberRows() + 63) / 64);
  };
  model_.primal();
  count();
  // Optimal only before unscaling: one more pass from this basis.
  if (model_.status() == 0 && model_.secondaryStatus() != 0) {
    model_.primal(1);
    count();
  }
  return model_.status() == 0;
}

double AtomMaster::objectiveValue() const {
  return static_cast<double>(offset_ + static_cast<long double>(model_.objectiveValue()) / scale_);
}

std::vector<double> AtomMaster::duals() const {
  const double* y = model_.dualRowSolution();
  std::vector<double> result(rowCount_, 0.0);
  for (std::size_t r = 0; r < rowCount_; ++r)
    if (modelRow_[r] >= 0) result[r] = y[modelRow_[r]];
  return result;
}

std::vector<EventSet> AtomMaster::largestAtoms(std::size_t most) const {
  const std::vector<long double> x = solution();
  std::vector<std::size_t> order;
  for (std::size_t atom = 0; atom < atoms_.size(); ++atom)
    if (x[atom] > 0) order.push_back(atom);
  const auto larger = [&](std::size_t a, std::size_t b) {
    return x[a] != x[b] ? x[a] > x[b] : atoms_[a] < atoms_[b];
  };
  if (order.size() > most) {
    std::nth_element(order.begin(), order.begin() + static_cast<std::ptrdiff_t>(most), order.end(),
                     larger);
    order.resize(most);
  }
  std::sort(order.begin(), order.end(), larger);
  std::vector<EventSet> result;
  for (const std::size_t atom : order) result.push_back(atoms_[atom]);
  return result;
}

std::vector<std::size_t> AtomMaster::violatedRows(std::size_t most, double slack) const {
  const std::vector<long double> activity = activityOf(solution());
  std::vector<std::pair<long double, std::size_t>> violated;
  for (std::size_t r = 0; r < rowCount_; ++r) {
    if (modelRow_[r] >= 0) continue;
    const long double units = activity[r] * unitsPerOne;
    const long double excess = std::max(rows_[r].low - units, units - rows_[r].high);
    if (excess > slack) violated.emplace_back(-excess, r);
  }
  if (violated.size() > most) {
    std::nth_element(violated.begin(), violated.begin() + static_cast<std::ptrdiff_t>(most),
                     violated.end());
    violated.resize(most);
  }
  std::vector<std::size_t> result;
  for (const auto& entry : violated) result.push_back(entry.second);
  return result;
}

}  // namespace intersections
