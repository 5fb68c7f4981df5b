// The memory of the parsing library of the precise front end. Every block it
// asks for carries a small header and, while a source is parsed, belongs to
// that source's scope on the parsing thread, so that:
//  - a block the library forgets is given back when the source ends;
//  - a free of a pointer that is not the start of one of our blocks is
//    ignored instead of corrupting the heap.
// Both happen with Debian's libtree-sitter 0.20: a node keeps its child count
// in 16 bits, so a node of 65536 children or more (the parse stack of an
// unclosed construct that deep, when the parser gives up at an error) frees
// its children's block through a pointer inside it, and leaves most of the
// children unreleased. Nothing else of ours depends on the library's memory.
//
// The scope also counts the bytes its blocks hold: past the scope's limit it
// raises the flag the parser is given as its cancellation flag, so that a
// source whose parse would take more memory than its budget ends there and
// goes to the statement parser instead of exhausting the machine.
//
// Threads: the scope is thread_local; a parse and everything it allocates
// stay on one thread. The hooks are installed once, before any parser exists.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <mutex>

#include "engine/precise.h"
#include "foundation/trace.h"

#ifdef VELMORA_HAVE_TREE_SITTER
#include <tree_sitter/api.h>
#endif

namespace {

// The header before every block handed to the library.
struct Block {
  Block *prev;  // neighbours in the scope's list; nullptr when not in one
  Block *next;
  uint64_t check;  // kMagic ^ the header's address: one of our blocks
  uint64_t size;   // bytes asked for
};
static_assert(sizeof(Block) % 16 == 0, "blocks stay aligned as malloc's");

const uint64_t kMagic = 0x5e1f1a9e0d3bc7a1ull;

// The blocks of the source being parsed on this thread: a circular list
// through a sentinel, empty (sentinel to itself) while a scope is open.
struct Scope {
  Block head;      // sentinel
  int open;        // 1 between precise_scope_begin and precise_scope_end
  uint64_t bytes;  // bytes asked for by the blocks in the list
  uint64_t limit;  // bytes allowed (0: no limit)
  size_t over;     // 1 once bytes passed limit (the parser's cancellation flag)
};
thread_local Scope t_scope;

#ifdef VELMORA_HAVE_TREE_SITTER  // the hooks: only a build with the library installs them

// Taken by address, so that a header not yet written is never read.
uint64_t CheckOf(uintptr_t at) {
  return kMagic ^ (uint64_t)at;
}

// Our header for the library's pointer p, or nullptr when p does not start
// one of our blocks (the bytes before it are then someone else's).
Block *HeaderOf(void *p) {
  Block *b = (Block *)p - 1;
  return b->check == CheckOf((uintptr_t)b) ? b : nullptr;
}

void Link(Block *b) {
  if (!t_scope.open) {
    b->prev = b->next = nullptr;
    return;
  }
  t_scope.bytes += b->size;
  if (t_scope.limit && t_scope.bytes > t_scope.limit) t_scope.over = 1;
  Block *head = &t_scope.head;
  b->prev = head;
  b->next = head->next;
  head->next->prev = b;
  head->next = b;
}

void Unlink(Block *b) {
  if (!b->prev) return;
  t_scope.bytes -= b->size;
  b->prev->next = b->next;
  b->next->prev = b->prev;
  b->prev = b->next = nullptr;
}

// The library cannot go on without its memory, and aborts by itself when its
// own allocator fails; so do we, with a word in the trace first.
[[noreturn]] void OutOfMemory(size_t n) {
  DebugPrint("precise_memory :Memory Alloc Error.(%lu[Byte])\r\n", (unsigned long)n);
  abort();
}

Block *Take(size_t n) {
  if (n > SIZE_MAX - sizeof(Block)) OutOfMemory(n);
  Block *b = (Block *)malloc(sizeof(Block) + n);
  if (!b) OutOfMemory(n);
  *b = Block{nullptr, nullptr, CheckOf((uintptr_t)b), n};
  Link(b);
  return b;
}

void *HookMalloc(size_t n) {
  return Take(n) + 1;
}

void *HookCalloc(size_t count, size_t n) {
  if (n && count > SIZE_MAX / n) OutOfMemory(SIZE_MAX);
  Block *b = Take(count * n);
  memset(b + 1, 0, count * n);
  return b + 1;
}

void *HookRealloc(void *p, size_t n) {
  if (!p) return HookMalloc(n);
  Block *b = HeaderOf(p);
  if (!b) {
    // Never one of ours: nothing can be copied safely, so the library gets
    // a zero-filled block of the size it asked for.
    return HookCalloc(1, n);
  }
  if (n > SIZE_MAX - sizeof(Block)) OutOfMemory(n);
  Unlink(b);
  b->check = 0;
  Block *moved = (Block *)realloc(b, sizeof(Block) + n);
  if (!moved) OutOfMemory(n);
  moved->check = CheckOf((uintptr_t)moved);
  moved->size = n;
  Link(moved);
  return moved + 1;
}

void HookFree(void *p) {
  if (!p) return;
  Block *b = HeaderOf(p);
  if (!b) return;  // inside one of our blocks: that block goes with the scope
  Unlink(b);
  b->check = 0;
  free(b);
}

#endif  // VELMORA_HAVE_TREE_SITTER

}  // namespace

void precise_memory_install(void) {
#ifdef VELMORA_HAVE_TREE_SITTER
  static std::once_flag once;
  std::call_once(once, [] { ts_set_allocator(HookMalloc, HookCalloc, HookRealloc, HookFree); });
#endif
}

void precise_scope_begin(uint64_t limit) {
  t_scope.head.prev = t_scope.head.next = &t_scope.head;
  t_scope.open = 1;
  t_scope.bytes = 0;
  t_scope.limit = limit;
  t_scope.over = 0;
}

const size_t *precise_scope_over_flag(void) {
  return &t_scope.over;
}

int precise_scope_over(void) {
  return t_scope.over ? 1 : 0;
}

unsigned precise_scope_end(void) {
  unsigned left = 0;
  if (!t_scope.open) return 0;
  Block *head = &t_scope.head;
  for (Block *b = head->next; b != head;) {
    Block *next = b->next;
    b->check = 0;
    free(b);
    b = next;
    left++;
  }
  head->prev = head->next = head;
  t_scope.open = 0;
  t_scope.bytes = 0;
  return left;
}
