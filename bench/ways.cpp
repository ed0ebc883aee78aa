#include "ways.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "cases.h"
#include "evaluation/intersections.h"
#include "evaluation/number_format.h"
#include "instance/index_sets.h"
#include "instance/random_instance.h"
#include "instance/sequence_ops.h"
#include "support/spawn.h"
#include "support/stopwatch.h"

namespace bench {

namespace {

using namespace intersections;

// Ours: the evaluator on the packed instance.
int childOurs(const Case& c, const std::string& out) {
  const Instance instance = makeInstance(c);
  const Stopwatch watch;
  writeIntersectionProbabilitiesTo(out, c.m, instance.weights, instance.columns);
  reportWork(watch);
  return 0;
}

// The reference: the whole list of sets, the transposed matrix, a chain of
// coordProduct copies per set, a sequential sum, std::ofstream with std::endl.
int childReference(const Case& c, const std::string& out) {
  // The same draws as makeInstance, into the matrix of deques.
  std::srand(benchSeed);
  const EventMatrix matrix = generateEventMatrix(c.n, c.density);
  const DoubleSequence weights = makeCaseWeights(c, matrix.size());
  const Stopwatch watch;
  const IndexSetList list = enumerateIndexSets(c.n, c.m);
  const EventMatrix columns = transpose(matrix);
  std::ofstream file(out, std::ios::binary);
  for (const IndexSet& set : list) {
    IntSequence indicator = columns[static_cast<std::size_t>(set[0] - 1)];
    for (std::size_t i = 1; i < set.size(); ++i) {
      indicator = coordProduct(indicator, columns[static_cast<std::size_t>(set[i] - 1)]);
    }
    double sum = 0.0;
    for (std::size_t j = 0; j < indicator.size(); ++j) {
      if (indicator[j] == 1) sum += weights[j];
    }
    file << formatProbability(sum) << "\r" << std::endl;
  }
  file.close();
  if (!file) fail("reference: cannot write " + out);
  reportWork(watch);
  return 0;
}

// The floor: the bytes of `in`, already in memory, one write() per line.
int childFloor(const std::string& in, const std::string& out) {
  // Not timed: the bytes and the line boundaries, in memory.
  std::string text;
  {
    std::ifstream file(in, std::ios::binary);
    if (!file) fail("floor: cannot read " + in);
    text.resize(static_cast<std::size_t>(std::filesystem::file_size(in)));
    file.read(text.data(), static_cast<std::streamsize>(text.size()));
  }
  std::vector<std::size_t> ends;
  for (std::size_t at = 0; at < text.size();) {
    const std::size_t newline = text.find('\n', at);
    at = newline == std::string::npos ? text.size() : newline + 1;
    ends.push_back(at);
  }

  const Stopwatch watch;
  const int fd = ::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  if (fd < 0) fail("floor: cannot create " + out);
  std::size_t from = 0;
  for (const std::size_t end : ends) {
    while (from < end) {
      const ssize_t put = ::write(fd, text.data() + from, end - from);
      if (put <= 0) fail("floor: cannot write " + out);
      from += static_cast<std::size_t>(put);
    }
  }
  if (::close(fd) != 0) fail("floor: cannot close " + out);
  reportWork(watch);
  return 0;
}

// The floor of drawing: the std::rand calls of the drawing, with its test of
// each entry, and nothing else.
int childDraws(const Case& c) {
  std::srand(benchSeed);
  const Stopwatch watch;
  const std::int32_t rows = 2 * c.n;
  for (std::int32_t accepted = 0; accepted < rows;) {
    bool hasOne = false;
    for (std::int32_t column = 0; column < c.n; ++column) {
      if (std::rand() % 100 + 1 <= c.density) hasOne = true;
    }
    if (hasOne) ++accepted;
  }
  reportWork(watch);
  return 0;
}

const Case& caseNamed(const char* name) {
  const Case* c = findCase(name);
  if (c == nullptr) fail(std::string("unknown case ") + name);
  return *c;
}

}  // namespace

int childMain(int argc, char** argv) {
  const std::string way = argc >= 3 ? argv[2] : "";
  if (way == "draws" && argc == 4) return childDraws(caseNamed(argv[3]));
  if (argc != 5) fail("bad child arguments");
  if (way == "floor") return childFloor(argv[3], argv[4]);
  const Case& c = caseNamed(argv[3]);
  if (way == "ours") return childOurs(c, argv[4]);
  if (way == "reference") return childReference(c, argv[4]);
  fail("unknown way " + way);
}

}  // namespace bench
