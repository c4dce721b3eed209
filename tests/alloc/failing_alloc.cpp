// Linked into a program, fails its Nth allocation (ARVEX_FAIL_ALLOC=N) with
// ENOMEM: malloc, calloc, realloc and operator new count alike, the
// libraries' allocations included (the program's definitions come first).
// At exit it writes "alloc-shim: C allocations, failed" (or "..., none
// failed") to the descriptor ARVEX_FAIL_ALLOC_FD, so that a loop knows
// when N has passed the last allocation.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dlfcn.h>
#include <new>
#include <unistd.h>

namespace {

using Malloc = void *(*)(size_t);
using Calloc = void *(*)(size_t, size_t);
using Realloc = void *(*)(void *, size_t);
using Free = void (*)(void *);

Malloc realMalloc;
Calloc realCalloc;
Realloc realRealloc;
Free realFree;
long failAt = -1;
long counted = 0;
bool failed = false;
bool resolving = false;
// dlsym may allocate before calloc is known: served from here, never freed.
alignas(16) char bootstrap[4096];
size_t bootstrapUsed = 0;

void resolve()
{
  if (realMalloc || resolving)
    return;
  resolving = true;
  realCalloc = reinterpret_cast<Calloc>(dlsym(RTLD_NEXT, "calloc"));
  realMalloc = reinterpret_cast<Malloc>(dlsym(RTLD_NEXT, "malloc"));
  realRealloc = reinterpret_cast<Realloc>(dlsym(RTLD_NEXT, "realloc"));
  realFree = reinterpret_cast<Free>(dlsym(RTLD_NEXT, "free"));
  resolving = false;
}

// Counting starts once the program's own constructors run: the sanitizer
// runtime allocates before the environment can be read.
__attribute__((constructor)) void start()
{
  const char *n = std::getenv("ARVEX_FAIL_ALLOC");
  failAt = n ? std::atol(n) : -1;
}

bool failThisOne()
{
  if (failAt < 0 || failed || ++counted != failAt)
    return false;
  failed = true;
  errno = ENOMEM;
  return true;
}

void *fromBootstrap(size_t size)
{
  const size_t at = (bootstrapUsed + 15) & ~size_t{15};
  if (at + size > sizeof(bootstrap))
    return nullptr;
  bootstrapUsed = at + size;
  return bootstrap + at;
}

bool isBootstrap(void *p) { return p >= bootstrap && p < bootstrap + sizeof(bootstrap); }

__attribute__((destructor)) void report()
{
  const char *fd = std::getenv("ARVEX_FAIL_ALLOC_FD");
  if (!fd)
    return;
  char line[64];
  const int n = std::snprintf(line, sizeof(line), "alloc-shim: %ld allocations, %s\n", counted,
                              failed ? "failed" : "none failed");
  [[maybe_unused]] ssize_t written = write(std::atoi(fd), line, static_cast<size_t>(n));
}

}  // namespace

extern "C" {

void *malloc(size_t size)
{
  resolve();
  if (!realMalloc)
    return fromBootstrap(size);
  return failThisOne() ? nullptr : realMalloc(size);
}

void *calloc(size_t count, size_t size)
{
  resolve();
  if (!realCalloc)
    return fromBootstrap(count * size);  // zero: static storage
  return failThisOne() ? nullptr : realCalloc(count, size);
}

void *realloc(void *p, size_t size)
{
  resolve();
  return failThisOne() ? nullptr : realRealloc(p, size);
}

// What is freed while the real functions are looked up stays allocated.
void free(void *p)
{
  resolve();
  if (p && realFree && !isBootstrap(p))
    realFree(p);
}

}  // extern "C"

void *operator new(size_t size)
{
  void *p = malloc(size);
  if (!p)
    throw std::bad_alloc();
  return p;
}
void *operator new[](size_t size) { return operator new(size); }
void *operator new(size_t size, const std::nothrow_t &) noexcept { return malloc(size); }
void *operator new[](size_t size, const std::nothrow_t &) noexcept { return malloc(size); }
void operator delete(void *p) noexcept { free(p); }
void operator delete[](void *p) noexcept { free(p); }
void operator delete(void *p, size_t) noexcept { free(p); }
void operator delete[](void *p, size_t) noexcept { free(p); }
