#include "reporting/gmp_memory.h"

#include <gmp.h>

#include <cstdlib>
#include <new>

// GMP's own functions call malloc, realloc and free and abort when they fail.
// These throw instead; GMP's C code is built with unwind tables, so the
// exception passes through it to the program's handler. GMP gives no promise
// about its temporary blocks when that happens: they are lost, which matters
// nothing to a program that reports the failure and ends.

namespace intersections {

namespace {

void* allocate(std::size_t size) {
  void* block = std::malloc(size);
  if (block == nullptr) throw std::bad_alloc();
  return block;
}

void* reallocate(void* block, std::size_t, std::size_t size) {
  void* moved = std::realloc(block, size);
  if (moved == nullptr) throw std::bad_alloc();
  return moved;
}

void release(void* block, std::size_t) { std::free(block); }

}  // namespace

void throwBadAllocWhenGmpRunsOut() { mp_set_memory_functions(allocate, reallocate, release); }

}  // namespace intersections
