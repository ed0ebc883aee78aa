#include "bounds/gallot_kounias.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <stdexcept>
#include <string>

#include "bounds/pairwise_bounds.h"
#include "lines/observations.h"

namespace intersections {

namespace {

void checkCount(const PairTable& table, std::size_t weights) {
  if (weights != table.events()) {
    throw std::invalid_argument(std::to_string(weights) + " weights for " +
                                std::to_string(table.events()) + " events");
  }
}

// The search for the weights. The value is scale-free, and for a direction d
// with a'd > 0 the least of f(t d) = t^2 d'Qd / 2 - t a'd over t > 0 is
// -(a'd)^2 / (2 d'Qd): minimising f over c >= 0 maximises the value, which is
// -2 f at the minimum (there c'Qc = a'c), and at any c at least -2 f(c). Here
// a holds the low ends of the singles and Q the high ends (singles on the
// diagonal), so every entry of Q is >= 0 and its diagonal > 0: f grows without
// bound on c >= 0 even where Q is not positive semidefinite, and has a minimum.
// Every step below lowers f, so the value never falls below that at the start.
class WeightSearch {
 public:
  explicit WeightSearch(const PairTable& table) {
    for (std::size_t i = 0; i < table.events(); ++i) {
      if (table.single(i).low > 0) events_.push_back(i);
    }
    k_ = events_.size();
    a_.resize(k_);
    q_.resize(k_ * k_);
    // In probabilities rather than units, so that the numbers are near 1.
    const double perUnit = 1.0 / unitsPerOne;
    for (std::size_t r = 0; r < k_; ++r) {
      a_[r] = table.single(events_[r]).low * perUnit;
      q_[r * k_ + r] = table.single(events_[r]).high * perUnit;
      for (std::size_t s = r + 1; s < k_; ++s) {
        const double b = table.pair(events_[r], events_[s]).high * perUnit;
        q_[r * k_ + s] = b;
        q_[s * k_ + r] = b;
      }
    }
  }

  std::vector<double> weights(std::size_t n) {
    std::vector<double> all(n, 0.0);
    if (k_ == 0) return all;
    start();
    descend();
    for (std::size_t r = 0; r < k_; ++r) all[events_[r]] = c_[r];
    return all;
  }

 private:
  // de Caen's weights, c_r = a_r / (sum_s Q_rs), at their best scale. Since
  // c_r c_s Q_rs <= (c_r^2 + c_s^2) Q_rs / 2, c'Qc <= sum_r c_r^2 sum_s Q_rs,
  // which at these weights is sum_r a_r^2 / sum_s Q_rs = a'c: the value
  // (a'c)^2 / c'Qc is at least that sum, de Caen's bound.
  void start() {
    c_.assign(k_, 0.0);
    for (std::size_t r = 0; r < k_; ++r) {
      double beta = 0;
      for (std::size_t s = 0; s < k_; ++s) beta += q_[r * k_ + s];
      c_[r] = a_[r] / beta;
    }
    computeProduct();
    const double scale = dot(a_, c_) / dot(c_, g_);
    for (std::size_t r = 0; r < k_; ++r) {
      c_[r] *= scale;
      g_[r] *= scale;
    }
  }

  // A few sweeps of coordinate descent, which find roughly which weights are
  // 0, then projected Newton steps (Bertsekas): weights at or near 0 whose
  // gradient pushes them below 0 stay at 0, the Newton direction on the
  // others comes from conjugate gradients, and the step is cut in half until
  // f falls enough along max(0, c + t p). Coordinate descent alone needs far
  // too many sweeps when events are nearly alike (Q then nearly singular).
  // Ends when a step lowers f by no more than a part in 10^15, or the work
  // passes about 2 * 10^9 multiply-adds.
  void descend() {
    for (int sweep = 0; sweep < 20 && work_ < budget; ++sweep) {
      if (!sweepCoordinates()) break;
    }
    computeProduct();
    double f = objective();
    std::vector<double> p(k_), trial(k_), trialProduct(k_);
    for (int iteration = 0; iteration < 500 && work_ < budget; ++iteration) {
      const double before = f;
      // Weights within reach of 0 by a step of scaled steepest descent, and
      // pushed there by the gradient, are held at 0 (moved only by that step).
      double reach = 0, largest = 0;
      for (std::size_t r = 0; r < k_; ++r) {
        const double step = std::max(0.0, c_[r] - (g_[r] - a_[r]) / q_[r * k_ + r]) - c_[r];
        reach = std::max(reach, std::fabs(step));
        largest = std::max(largest, c_[r]);
      }
      const double nearZero = std::min(reach, 1e-3 * largest);
      std::vector<std::size_t> free;
      for (std::size_t r = 0; r < k_; ++r) {
        const double gradient = g_[r] - a_[r];
        if (c_[r] > nearZero || gradient < 0) {
          free.push_back(r);
        } else {
          p[r] = -gradient / q_[r * k_ + r];
        }
      }
      newtonDirection(free, p);
      for (double t = 1; t > 1e-9; t /= 2) {
        double slope = 0;
        for (std::size_t r = 0; r < k_; ++r) {
          trial[r] = std::max(0.0, c_[r] + t * p[r]);
          slope += (g_[r] - a_[r]) * (trial[r] - c_[r]);
        }
        product(trial, trialProduct);
        const double next = 0.5 * dot(trial, trialProduct) - dot(a_, trial);
        if (next < f && next <= f + 1e-4 * slope) {
          c_.swap(trial);
          g_.swap(trialProduct);
          f = next;
          break;
        }
      }
      if (!(before - f > 1e-15 * std::fabs(f))) {
        // No Newton step: coordinate descent, which always goes down.
        for (int sweep = 0; sweep < 4; ++sweep) sweepCoordinates();
        computeProduct();
        f = objective();
      }
      if (!(before - f > 1e-15 * std::fabs(f))) break;
    }
  }

  // Conjugate gradients (preconditioned by the diagonal) for the Newton step
  // on the free weights, Q_FF p_F = -(Qc - a)_F, from p_F = 0; stops early
  // where the curvature is not positive (Q need not be semidefinite).
  void newtonDirection(const std::vector<std::size_t>& free, std::vector<double>& p) {
    const std::size_t m = free.size();
    std::vector<double> x(m, 0.0), residual(m), z(m), direction(m), qd(m);
    double rz = 0;
    for (std::size_t u = 0; u < m; ++u) {
      const std::size_t r = free[u];
      residual[u] = a_[r] - g_[r];
      z[u] = residual[u] / q_[r * k_ + r];
      direction[u] = z[u];
      rz += residual[u] * z[u];
    }
    const double start = rz;
    for (std::size_t iteration = 0; iteration < m + 10 && work_ < budget; ++iteration) {
      if (!(rz > 1e-30 * start)) break;
      for (std::size_t u = 0; u < m; ++u) {
        const double* row = &q_[free[u] * k_];
        double sum = 0;
        for (std::size_t w = 0; w < m; ++w) sum += row[free[w]] * direction[w];
        qd[u] = sum;
      }
      work_ += static_cast<double>(m) * static_cast<double>(m);
      double curvature = 0;
      for (std::size_t u = 0; u < m; ++u) curvature += direction[u] * qd[u];
      if (!(curvature > 0)) {
        if (iteration == 0) x = z;  // a scaled steepest descent, for want of better
        break;
      }
      const double step = rz / curvature;
      double next = 0;
      for (std::size_t u = 0; u < m; ++u) {
        x[u] += step * direction[u];
        residual[u] -= step * qd[u];
        z[u] = residual[u] / q_[free[u] * k_ + free[u]];
        next += residual[u] * z[u];
      }
      for (std::size_t u = 0; u < m; ++u) direction[u] = z[u] + next / rz * direction[u];
      rz = next;
    }
    for (std::size_t u = 0; u < m; ++u) p[free[u]] = x[u];
  }

  // One sweep of coordinate descent; false when no weight changed.
  bool sweepCoordinates() {
    bool changed = false;
    for (std::size_t r = 0; r < k_; ++r) {
      const double next = std::max(0.0, c_[r] - (g_[r] - a_[r]) / q_[r * k_ + r]);
      const double delta = next - c_[r];
      if (delta == 0) continue;
      changed = true;
      c_[r] = next;
      const double* row = &q_[r * k_];
      for (std::size_t s = 0; s < k_; ++s) g_[s] += delta * row[s];
      work_ += static_cast<double>(k_);
    }
    return changed;
  }

  void product(const std::vector<double>& c, std::vector<double>& out) {
    std::vector<std::size_t> nonzero;
    for (std::size_t s = 0; s < k_; ++s) {
      if (c[s] != 0) nonzero.push_back(s);
    }
    for (std::size_t r = 0; r < k_; ++r) {
      const double* row = &q_[r * k_];
      double sum = 0;
      for (const std::size_t s : nonzero) sum += row[s] * c[s];
      out[r] = sum;
    }
    work_ += static_cast<double>(k_) * static_cast<double>(nonzero.size());
  }

  void computeProduct() {
    g_.resize(k_);
    product(c_, g_);
  }

  double objective() const { return 0.5 * dot(c_, g_) - dot(a_, c_); }

  static double dot(const std::vector<double>& x, const std::vector<double>& y) {
    double sum = 0;
    for (std::size_t r = 0; r < x.size(); ++r) sum += x[r] * y[r];
    return sum;
  }

  std::vector<std::size_t> events_;  // the events with low(a_i) > 0
  std::size_t k_ = 0;
  std::vector<double> a_;  // low(a_i)
  std::vector<double> q_;  // high(a_i) on the diagonal, high(b_ij) off it; k x k by rows
  std::vector<double> c_;  // the weights
  std::vector<double> g_;  // Q c
  double work_ = 0;        // multiply-adds so far
  static constexpr double budget = 2e9;
};

}  // namespace

mpq_class gallotKouniasWithWholeWeights(const PairTable& table,
                                        const std::vector<mpz_class>& weights) {
  checkCount(table, weights.size());
  const std::size_t n = table.events();
  std::vector<bool> used(n);
  for (std::size_t i = 0; i < n; ++i) {
    if (sgn(weights[i]) < 0) throw std::invalid_argument("a negative weight");
    used[i] = sgn(weights[i]) > 0;
  }
  // In units: numerator^2 / denominator units, that is numerator^2 / (denominator * 10^9).
  mpz_class numerator, denominator, row;
  const IntervalList& pairs = table.pairs();
  for (std::size_t i = 0; i < n; ++i) {
    if (!used[i]) continue;
    const mpz_class& c = weights[i];
    mpz_addmul_ui(numerator.get_mpz_t(), c.get_mpz_t(), table.single(i).low);
    // c_i^2 high(a_i) + 2 c_i sum_{j > i} c_j high(b_ij): each pair once, doubled.
    row = c * table.single(i).high;
    std::size_t at = pairIndex(n, i, i + 1);
    for (std::size_t j = i + 1; j < n; ++j, ++at) {
      if (used[j]) mpz_addmul_ui(row.get_mpz_t(), weights[j].get_mpz_t(), 2UL * pairs.high(at));
    }
    mpz_addmul(denominator.get_mpz_t(), c.get_mpz_t(), row.get_mpz_t());
  }
  // The denominator is 0 only if every used event has high(a_i) = 0, and then
  // low(a_i) = 0 too.
  if (numerator == 0) return 0;
  mpq_class bound(numerator * numerator, denominator * unitsPerOne);
  bound.canonicalize();
  return bound;
}

mpq_class gallotKouniasWithWeights(const PairTable& table, const std::vector<double>& weights) {
  checkCount(table, weights.size());
  // Each weight w > 0 is m 2^e with m a whole number below 2^53; over the
  // common 2^E, E the least e, it is the whole number m 2^(e - E).
  std::vector<mpz_class> whole(weights.size());
  std::vector<int> exponents(weights.size());
  int least = 0;
  bool any = false;
  for (std::size_t i = 0; i < weights.size(); ++i) {
    const double w = weights[i];
    if (!(w >= 0) || !std::isfinite(w)) {
      throw std::invalid_argument("a weight that is negative, infinite or not a number");
    }
    if (w == 0) continue;
    int exponent = 0;
    const double fraction =
        std::frexp(w, &exponent);  // w = fraction 2^exponent, 1/2 <= fraction < 1
    whole[i] = std::ldexp(fraction, 53);
    exponents[i] = exponent - 53;
    least = any ? std::min(least, exponents[i]) : exponents[i];
    any = true;
  }
  for (std::size_t i = 0; i < weights.size(); ++i) {
    if (weights[i] > 0) whole[i] <<= static_cast<mp_bitcnt_t>(exponents[i] - least);
  }
  return gallotKouniasWithWholeWeights(table, whole);
}

std::vector<double> gallotKouniasWeights(const PairTable& table) {
  return WeightSearch(table).weights(table.events());
}

mpq_class gallotKounias(const PairTable& table) {
  const std::size_t n = table.events();
  const std::vector<double> found = gallotKouniasWeights(table);
  const double largest = found.empty() ? 0.0 : *std::max_element(found.begin(), found.end());
  // The found weights as whole multiples of 2^-52 of the largest: rounding the
  // weights by a fraction e lowers the value by the order of e^2 only, since
  // the weights maximise it.
  std::vector<mpz_class> rounded(n), equal(n);
  for (std::size_t i = 0; i < n; ++i) {
    if (largest > 0) rounded[i] = std::nearbyint(std::ldexp(found[i] / largest, 52));
    if (table.single(i).low > 0) equal[i] = 1;
  }
  mpq_class bound = gallotKouniasWithWholeWeights(table, rounded);
  bound = std::max(bound, gallotKouniasWithWholeWeights(table, equal));
  bound = std::max(bound, deCaen(table));
  return bound;
}

}  // namespace intersections
