// A signal stack for the thread that makes it. A thread that overflows its
// stack gets SIGSEGV with no room left to run the handler on; on a stack of
// its own the crash handler still writes its report. Every thread the
// program starts makes one first thing in its thread function:
//
//   void Worker::Main() {
//     platform::ThreadSignalStack signalStack;
//     ...
//   }
//
// Header only, so that every library can use it without linking more.
#pragma once

#include <signal.h>
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cstddef>

namespace platform {

class ThreadSignalStack {
 public:
  ThreadSignalStack() {
    const long page = sysconf(_SC_PAGESIZE) > 0 ? sysconf(_SC_PAGESIZE) : 4096;
    const long wanted = std::max<long>(kStackBytes, sysconf(_SC_SIGSTKSZ));
    size_ = static_cast<size_t>((wanted + page - 1) / page * page);
    // One guard page below, so that a handler overrunning the stack faults
    // instead of writing over other memory.
    void* base = mmap(nullptr, size_ + static_cast<size_t>(page), PROT_READ | PROT_WRITE,
                      MAP_PRIVATE | MAP_ANONYMOUS | MAP_STACK, -1, 0);
    if (base == MAP_FAILED) return;
    mprotect(base, static_cast<size_t>(page), PROT_NONE);
    base_ = base;
    guard_ = static_cast<size_t>(page);
    stack_t ss{};
    ss.ss_sp = static_cast<char*>(base) + guard_;
    ss.ss_size = size_;
    ss.ss_flags = 0;
    if (sigaltstack(&ss, &previous_) != 0) {
      munmap(base_, size_ + guard_);
      base_ = nullptr;
    }
  }

  ~ThreadSignalStack() {
    if (!base_) return;
    // Put back what was there before, unless something else replaced ours.
    stack_t current{};
    if (sigaltstack(nullptr, &current) == 0 &&
        current.ss_sp == static_cast<char*>(base_) + guard_) {
      if (previous_.ss_flags & SS_DISABLE) {
        stack_t off{};
        off.ss_flags = SS_DISABLE;
        sigaltstack(&off, nullptr);
      } else {
        sigaltstack(&previous_, nullptr);
      }
    }
    munmap(base_, size_ + guard_);
  }

  ThreadSignalStack(const ThreadSignalStack&) = delete;
  ThreadSignalStack& operator=(const ThreadSignalStack&) = delete;

  // Whether the stack is in place (it is not when memory ran out).
  bool installed() const { return base_ != nullptr; }

 private:
  static constexpr long kStackBytes = 64 * 1024;
  void* base_ = nullptr;
  size_t size_ = 0;
  size_t guard_ = 0;
  stack_t previous_{};
};

}  // namespace platform
