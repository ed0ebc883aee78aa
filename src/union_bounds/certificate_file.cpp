#include "union_bounds/certificate_file.h"

#include <algorithm>
#include <array>
#include <bit>
#include <charconv>
#include <ostream>
#include <stdexcept>

#include "reporting/columns.h"

namespace intersections {

namespace {

const BoundColumn& columnNamed(const std::string& name) {
  for (const BoundColumn& column : boundColumns()) {
    if (name == column.name) return column;
  }
  throw std::logic_error("writeCertificates: no column " + name);
}

// The shortest decimal that reads back as `value`.
std::string shortestText(double value) {
  std::array<char, 32> text{};
  const auto written = std::to_chars(text.data(), text.data() + text.size(), value);
  return std::string(text.data(), written.ptr);
}

// "{1,3,4}" for the atom of events 1, 3 and 4; "{}" for the empty one.
std::string atomText(EventSet atom) {
  std::string text = "{";
  for (int event = 1; atom != 0; ++event, atom >>= 1) {
    if ((atom & 1) == 0) continue;
    if (text.size() > 1) text += ',';
    text += std::to_string(event);
  }
  return text + '}';
}

void writeMomentProof(std::ostream& out, std::int32_t order, const MomentProof& proof) {
  out << " from sharp order " << order << " sign " << proof.sign << " y";
  for (std::size_t i = 0; i < proof.y.size(); ++i) {
    out << ' ' << i << ':' << proof.y[i].get_str();
    // The total's row is 1 exactly; a moment's row uses the end its sign picks.
    if (i > 0 && sgn(proof.y[i]) != 0) out << (sgn(proof.y[i]) > 0 ? ":low" : ":high");
  }
}

void writeAtomProof(std::ostream& out, const AtomProof& proof) {
  out << " from atoms order " << proof.order << " sign " << proof.objective.sign << " shift "
      << proof.y.shift << " least " << proof.least << " y";
  for (std::size_t r = 0; r < proof.y.numerators.size(); ++r) {
    if (proof.y.numerators[r] != 0) out << ' ' << r << ':' << proof.y.numerators[r];
  }
}

// The start of a bound's line, up to its proof.
void writeBoundStart(std::ostream& out, const std::string& name, std::int32_t order,
                     const mpq_class& value) {
  out << "bound " << name << " order " << order << " printed "
      << formatBound(columnNamed(name), value) << " value " << value.get_str();
}

void writeSharp(std::ostream& out, const std::string& name, const OrderBounds& row,
                const mpq_class& value, const MomentProof& proof) {
  writeBoundStart(out, name, row.order, value);
  writeMomentProof(out, row.order, proof);
  out << '\n';
}

// A Boolean bound: its own proof, or the sharp bound's where it is that bound.
void writeBoolean(std::ostream& out, const std::string& name, const OrderBounds& row,
                  const mpq_class& value, const std::optional<AtomProof>& proof,
                  const mpq_class& sharp, const MomentProof& sharpProof) {
  if (proof) {
    writeBoundStart(out, name, row.order, value);
    writeAtomProof(out, *proof);
    out << '\n';
    return;
  }
  if (value != sharp)
    throw std::logic_error("writeCertificates: the " + name + " bound of order " +
                           std::to_string(row.order) + " has no proof");
  writeSharp(out, name, row, value, sharpProof);
}

void writeWitness(std::ostream& out, const std::string& name, std::int32_t order,
                  std::int32_t atLeast, const AtomDistribution& witness) {
  out << "witness " << name << " order " << order;
  if (witness.atoms.empty()) {
    out << " none\n";
    return;
  }
  double event = 0;
  for (std::size_t a = 0; a < witness.atoms.size(); ++a) {
    if (std::popcount(witness.atoms[a]) >= atLeast) event += witness.probabilities[a];
  }
  // The most probable atoms first; the solver's rounding leaves some
  // atoms with tiny probabilities, which come last.
  std::vector<std::size_t> ranked(witness.atoms.size());
  for (std::size_t a = 0; a < ranked.size(); ++a) ranked[a] = a;
  std::sort(ranked.begin(), ranked.end(), [&](std::size_t a, std::size_t b) {
    const double pa = witness.probabilities[a], pb = witness.probabilities[b];
    return pa != pb ? pa > pb : witness.atoms[a] < witness.atoms[b];
  });
  out << " event " << shortestText(event) << " atoms " << witness.atoms.size();
  for (const std::size_t a : ranked)
    out << ' ' << atomText(witness.atoms[a]) << ':' << shortestText(witness.probabilities[a]);
  out << '\n';
}

}  // namespace

void writeCertificates(std::ostream& out, const CertificateInput& input,
                       const std::vector<OrderBounds>& rows) {
  const auto booleanOrders = std::count_if(rows.begin(), rows.end(),
                                           [](const OrderBounds& row) { return row.booleanLower; });
  out << "# union-bounds certificates; scripts/check-certificates re-proves them.\n"
         "# A bound line proves its value by exact integer and rational arithmetic from\n"
         "# the lines of the file. A witness line is a distribution on the atoms that the\n"
         "# master problem found in floating point: an illustration, not a proof.\n"
         "format 1\n"
      << "file " << input.name << '\n'
      << "n " << input.n << '\n'
      << "at_least " << input.atLeast << '\n'
      << "orders " << rows.size() << '\n'
      << "boolean_orders " << booleanOrders << '\n'
      << "half_width "
      << (input.halfWidth ? unitsText(mpz_class(static_cast<unsigned long>(*input.halfWidth)))
                          : std::string("last_decimal"))
      << '\n';
  for (const OrderBounds& row : rows) {
    writeSharp(out, "lower", row, row.lower, row.lowerProof);
    writeSharp(out, "upper", row, row.upper, row.upperProof);
    if (!row.booleanLower || !row.booleanUpper) continue;
    writeBoolean(out, "boolean_lower", row, *row.booleanLower, row.booleanLowerProof, row.lower,
                 row.lowerProof);
    writeBoolean(out, "boolean_upper", row, *row.booleanUpper, row.booleanUpperProof, row.upper,
                 row.upperProof);
    writeWitness(out, "boolean_lower", row.order, input.atLeast, row.booleanLowerWitness);
    writeWitness(out, "boolean_upper", row.order, input.atLeast, row.booleanUpperWitness);
  }
}

}  // namespace intersections
