#include "bounds/exact_simplex.h"

#include <optional>
#include <stdexcept>

namespace intersections {

namespace {

// Makes column c basic in row r: scales row r to a 1 in column c and clears
// column c from every other row and from the reduced costs.
void pivot(Tableau& t, std::vector<mpq_class>& reduced, std::size_t r, std::size_t c) {
  std::vector<mpq_class>& pivotRow = t.rows[r];
  const mpq_class scale = 1 / pivotRow[c];
  std::vector<std::size_t> nonzero;
  for (std::size_t k = 0; k < pivotRow.size(); ++k) {
    if (sgn(pivotRow[k]) != 0) {
      pivotRow[k] *= scale;
      nonzero.push_back(k);
    }
  }
  mpq_class product;
  auto eliminate = [&](std::vector<mpq_class>& row) {
    if (sgn(row[c]) == 0) return;
    const mpq_class factor = row[c];
    for (const std::size_t k : nonzero) {
      mpq_mul(product.get_mpq_t(), factor.get_mpq_t(), pivotRow[k].get_mpq_t());
      row[k] -= product;
    }
  };
  for (std::size_t i = 0; i < t.rows.size(); ++i) {
    if (i != r) eliminate(t.rows[i]);
  }
  eliminate(reduced);
  t.vars[t.basicOf[r]].basic = false;
  t.vars[c].basic = true;
  t.vars[c].atUpper = false;
  t.basicOf[r] = c;
}

}  // namespace

void minimise(Tableau& t, const std::vector<int>& cost) {
  const std::size_t columns = t.vars.size();
  std::vector<mpq_class> reduced(columns);
  for (std::size_t c = 0; c < columns; ++c) reduced[c] = cost[c];
  for (std::size_t r = 0; r < t.rows.size(); ++r) {
    const int basicCost = cost[t.basicOf[r]];
    if (basicCost == 0) continue;
    for (std::size_t c = 0; c < columns; ++c) {
      if (sgn(t.rows[r][c]) != 0) reduced[c] -= basicCost * t.rows[r][c];
    }
  }

  mpq_class limit, step;
  bool bland = false;
  for (;;) {
    std::optional<std::size_t> entering;
    for (std::size_t c = 0; c < columns; ++c) {
      const Variable& v = t.vars[c];
      if (v.basic || (v.bounded && sgn(v.upper) == 0)) continue;
      if (!((sgn(reduced[c]) < 0 && !v.atUpper) || (sgn(reduced[c]) > 0 && v.atUpper))) continue;
      if (!entering || abs(reduced[c]) > abs(reduced[*entering])) entering = c;
      if (bland) break;
    }
    if (!entering) return;
    const std::size_t c = *entering;
    const int direction = t.vars[c].atUpper ? -1 : 1;

    // The longest step: to the entering column's other bound, or until a
    // basic column reaches one of its bounds.
    std::optional<std::size_t> leavingRow;
    bool haveStep = t.vars[c].bounded;
    if (haveStep) step = t.vars[c].upper;
    for (std::size_t r = 0; r < t.rows.size(); ++r) {
      const int rate = direction * sgn(t.rows[r][c]);  // the basic value falls when rate > 0
      if (rate == 0) continue;
      const Variable& b = t.vars[t.basicOf[r]];
      if (rate > 0) {
        limit = b.value / abs(t.rows[r][c]);
      } else if (b.bounded) {
        limit = (b.upper - b.value) / abs(t.rows[r][c]);
      } else {
        continue;
      }
      const bool better = !haveStep || limit < step ||
                          (limit == step && leavingRow && t.basicOf[r] < t.basicOf[*leavingRow]);
      if (better) {
        step = limit;
        haveStep = true;
        leavingRow = r;
      }
    }
    if (!haveStep) throw std::logic_error("minimise: the linear program is unbounded");
    bland = sgn(step) == 0;

    const mpq_class change = direction * step;
    t.vars[c].value += change;
    for (std::size_t r = 0; r < t.rows.size(); ++r) {
      if (sgn(t.rows[r][c]) != 0) t.vars[t.basicOf[r]].value -= change * t.rows[r][c];
    }
    if (!leavingRow) {
      t.vars[c].atUpper = !t.vars[c].atUpper;
      continue;
    }
    const std::size_t r = *leavingRow;
    Variable& leaving = t.vars[t.basicOf[r]];
    const bool toUpper = direction * sgn(t.rows[r][c]) < 0;
    pivot(t, reduced, r, c);
    leaving.atUpper = toUpper;
    leaving.value = toUpper ? leaving.upper : mpq_class(0);
  }
}

std::size_t addColumn(Tableau& t, Variable variable) {
  t.vars.push_back(std::move(variable));
  for (std::vector<mpq_class>& row : t.rows) row.emplace_back(0);
  return t.vars.size() - 1;
}

void dropSpentArtificials(Tableau& t) {
  std::vector<std::size_t> newIndex(t.vars.size());
  std::size_t kept = 0;
  for (std::size_t c = 0; c < t.vars.size(); ++c) {
    const bool drop = t.vars[c].kind == Kind::artificial && !t.vars[c].basic;
    newIndex[c] = kept;
    if (drop) continue;
    if (kept != c) {
      t.vars[kept] = std::move(t.vars[c]);
      for (std::vector<mpq_class>& row : t.rows) row[kept] = std::move(row[c]);
    }
    ++kept;
  }
  t.vars.resize(kept);
  for (std::vector<mpq_class>& row : t.rows) row.resize(kept);
  for (std::size_t& b : t.basicOf) b = newIndex[b];
}

}  // namespace intersections
