#pragma once
// Calls the library's export as the host does: the record's address in
// EAX, nothing on the stack. Returns false when the stack pointer moved.
#include <cstdint>

inline bool CallInitPlugInLib(void* function, void* record) {
  uint32_t before, after;
  asm volatile(
      "movl %%esp, %0\n\t"
      "movl %3, %%eax\n\t"
      "call *%2\n\t"
      "movl %%esp, %1\n\t"
      : "=&S"(before), "=&D"(after)
      : "b"(function), "m"(record)
      : "eax", "ecx", "edx", "memory", "cc");
  return before == after;
}
