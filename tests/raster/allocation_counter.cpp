#include "allocation_counter.hpp"

#include <cstdlib>
#include <new>

namespace {
std::size_t allocations = 0;
}  // namespace

namespace facetview::testing {
std::size_t allocation_count() {
  return allocations;
}
}  // namespace facetview::testing

// The replacements pair malloc with free on purpose; every new of this program
// comes from here.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
void* operator new(std::size_t size) {
  ++allocations;
  if (void* memory = std::malloc(size == 0 ? 1 : size)) return memory;
  throw std::bad_alloc();
}
void* operator new[](std::size_t size) {
  return operator new(size);
}
void operator delete(void* memory) noexcept {
  std::free(memory);
}
void operator delete(void* memory, std::size_t) noexcept {
  std::free(memory);
}
void operator delete[](void* memory) noexcept {
  std::free(memory);
}
void operator delete[](void* memory, std::size_t) noexcept {
  std::free(memory);
}
#pragma GCC diagnostic pop
