// Large blocks in huge pages.
//
// The programs' large blocks (a raw file's bytes, an upload's values, a CSV file's text) are
// written whole as soon as they are made. In 4 KB pages every first write to a page costs a page
// fault, several microseconds apiece on a virtual machine: a third of a one-file command's time.
// So operator new puts a block of 1 MB or more on a 2 MB boundary and marks it for transparent huge
// pages, which fault in 2 MB at a time where the kernel allows it (its transparent_hugepage
// setting "madvise" or "always"); elsewhere the advice is ignored. Rounding up to whole huge
// pages costs at most 1 MB of memory a block. Smaller blocks are malloc's as before.
//
// Linked into the programs only, and not built with AddressSanitizer, which replaces operator new
// with its own.

#include <malloc.h>
#include <sys/mman.h>

#include <cstddef>
#include <cstdlib>
#include <new>

#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define KESTRAND_ADDRESS_SANITIZER 1  // Clang's way of saying it
#endif
#endif

#if !defined(__SANITIZE_ADDRESS__) && !defined(KESTRAND_ADDRESS_SANITIZER)

namespace {

constexpr std::size_t kLarge = std::size_t{1} << 20;
constexpr std::size_t kHugePage = std::size_t{2} << 20;

void* allocate(std::size_t size) noexcept {
  if (size < kLarge) return std::malloc(size == 0 ? 1 : size);
  void* p = ::memalign(kHugePage, size);
  if (p != nullptr) ::madvise(p, (size + kHugePage - 1) / kHugePage * kHugePage, MADV_HUGEPAGE);
  return p;
}

}  // namespace

void* operator new(std::size_t size) {
  if (void* p = allocate(size)) return p;
  throw std::bad_alloc();
}
void* operator new[](std::size_t size) {
  return operator new(size);
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
  return allocate(size);
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
  return allocate(size);
}
// Both kinds of block are malloc's.
void operator delete(void* p) noexcept {
  std::free(p);
}
void operator delete[](void* p) noexcept {
  std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
  std::free(p);
}
void operator delete[](void* p, std::size_t) noexcept {
  std::free(p);
}

#endif
