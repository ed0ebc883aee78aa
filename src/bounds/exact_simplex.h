#pragma once

// Description: the bounded-variable primal simplex in exact rational
// arithmetic (GMP), on a tableau that the caller builds and may grow row by
// row and column by column between solves.
//
// What it solves: minimise sum_c cost[c] x_c over the tableau's rows
// B^-1 A x = B^-1 b, with 0 <= x_c, and x_c <= upper_c for the columns that
// are bounded, starting from the basic feasible point the tableau holds. A
// nonbasic column sits at 0 or at its upper bound; a column whose upper
// bound is 0 never enters.
//
// Pricing and ties: the entering column is the one whose reduced cost
// promises most (Dantzig's rule), the first such on a tie; the leaving row is
// the one with the shortest step, on a tie the one whose basic column comes
// first. After a step of length 0, and until a step makes progress again,
// the entering column is the first that improves the objective (Bland's
// rule).
//
// Why it cannot cycle: a step of positive length lowers the objective, so a
// basis can come back only within a run of degenerate steps, and within such
// a run Bland's rule (first improving column, leaving ties by the least
// column) is known not to cycle. Bland's rule alone also terminates, but on
// 1000 events it walked through the columns one at a time and took 35 times
// as long.
//
// Cost: each pivot updates every row, (rows) x (columns) rational
// products; memory is the tableau, (rows) x (columns) rationals.

#include <gmpxx.h>

#include <cstddef>
#include <vector>

namespace intersections {

// What a column stands for, for its owner; the simplex drops spent
// artificial columns and treats every kind alike otherwise.
enum class Kind { event, slack, artificial };

// One column of the tableau and its current value.
struct Variable {
  Kind kind = Kind::event;
  bool bounded = false;  // has an upper bound (the lower bound is always 0)
  mpq_class upper;       // the upper bound, when bounded
  bool basic = false;
  bool atUpper = false;  // nonbasic at its upper bound rather than at 0
  mpq_class value;
};

// B^-1 A for the current basis B, and every column's status and value.
struct Tableau {
  std::vector<Variable> vars;                // the columns, in the order Bland's rule uses
  std::vector<std::vector<mpq_class>> rows;  // rows[r][c]: B^-1 A
  std::vector<std::size_t> basicOf;          // the column basic in each row
};

// Minimises sum_c cost[c] * x_c from the tableau's basic feasible point, as
// above; cost has one entry per column. Throws std::logic_error when the
// objective is unbounded below.
void minimise(Tableau& t, const std::vector<int>& cost);

// Appends a column of zeros in every row; returns its index.
std::size_t addColumn(Tableau& t, Variable variable);

// Drops the artificial columns that have left the basis; they are fixed at 0.
void dropSpentArtificials(Tableau& t);

}  // namespace intersections
