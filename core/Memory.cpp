// Memory service.
#include "core/Memory.hpp"

#include <cstdint>
#include <cstdlib>
#include <limits>

#if defined(__unix__) || defined(__APPLE__)
#include <unistd.h>
#endif

#include "core/Error.hpp"

namespace {

void* DefaultAllocate(void*, std::size_t size) { return std::malloc(size); }
void DefaultFree(void*, void* block) { std::free(block); }

Memory_Interface default_interface = {nullptr, DefaultAllocate, DefaultAllocate, DefaultFree,
                                      DefaultFree};
Memory_Interface* current = &default_interface;

// Byte size of count elements, or 0 with *ok false when it is out of range.
std::size_t CheckedBytes(std::int64_t count, std::size_t element_size, bool* ok) {
  *ok = count >= 0 && count <= std::numeric_limits<std::int32_t>::max() &&
        (element_size == 0 ||
         static_cast<std::uint64_t>(count) <=
             std::numeric_limits<std::size_t>::max() / element_size);
  return *ok ? static_cast<std::size_t>(count) * element_size : 0;
}

// Blocks from this size on are checked against the machine's memory.
constexpr std::size_t kLargeBlock = std::size_t{1} << 28;

// True when a block of size bytes can never be backed by this machine: it is
// larger than its physical memory. Such a request is refused before the
// allocator sees it, since an allocator that overcommits would hand it out
// and the first pass over it would have the system end the process.
bool BeyondMachine(std::size_t size) {
  if (size < kLargeBlock) return false;
#if defined(_SC_PHYS_PAGES) && defined(_SC_PAGESIZE)
  const long pages = sysconf(_SC_PHYS_PAGES);
  const long page_size = sysconf(_SC_PAGESIZE);
  if (pages <= 0 || page_size <= 0) return false;
  const std::uint64_t physical =
      static_cast<std::uint64_t>(pages) * static_cast<std::uint64_t>(page_size);
  return static_cast<std::uint64_t>(size) > physical;
#else
  return false;
#endif
}

}  // namespace

void* Memory_Allocate(std::size_t size) {
  if (size == 0) return nullptr;
  if (BeyondMachine(size)) Error_Report("Memory", __LINE__, "Allocate", "allocation failed");
  void* block = current->allocate(current->context, size);
  if (block == nullptr) Error_Report("Memory", __LINE__, "Allocate", "allocation failed");
  return block;
}

void* Memory_AllocateFactors(std::size_t size) {
  if (size == 0) return nullptr;
  if (BeyondMachine(size)) {
    Error_Report("Memory", __LINE__, "AllocateFactors", "allocation failed");
  }
  void* block = current->allocate_factors(current->context, size);
  if (block == nullptr) Error_Report("Memory", __LINE__, "AllocateFactors", "allocation failed");
  return block;
}

void Memory_Free(void* block) {
  if (block != nullptr) current->free(current->context, block);
}

void Memory_FreeFactors(void* block) {
  if (block != nullptr) current->free_factors(current->context, block);
}

void Memory_SetInterface(Memory_Interface* record) {
  if (record == nullptr || record->allocate == nullptr || record->allocate_factors == nullptr ||
      record->free == nullptr || record->free_factors == nullptr) {
    Error_FatalReport("Memory", __LINE__, "SetInterface", "null element");
  }
  current = record;
}

void Memory_Reset() { current = &default_interface; }

void* Memory_AllocateCount(std::int64_t count, std::size_t element_size) {
  bool ok;
  std::size_t bytes = CheckedBytes(count, element_size, &ok);
  if (!ok) Error_Report("Memory", __LINE__, "Allocate", "allocation failed");
  return Memory_Allocate(bytes);
}

void* Memory_AllocateFactorsCount(std::int64_t count, std::size_t element_size) {
  bool ok;
  std::size_t bytes = CheckedBytes(count, element_size, &ok);
  if (!ok) Error_Report("Memory", __LINE__, "AllocateFactors", "allocation failed");
  return Memory_AllocateFactors(bytes);
}
