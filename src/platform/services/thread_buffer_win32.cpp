// SPDX-FileCopyrightText: 2026 The SimpleKAVO developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include <windows.h>

#include <memory>
#include <new>

#include "platform/services/thread_buffer.h"

namespace kavo {

namespace {

void WINAPI freeBuffer(void* buffer) { delete[] static_cast<char*>(buffer); }

// The fiber-local slot that holds each thread's buffer, made on first use;
// Windows frees a thread's buffer when the thread ends. A thread_local
// object with a destructor cannot be used: with MinGW-w64's run time the
// destructors of threads that end run against storage already released,
// corrupting the heap now and then when copy threads come and go.
DWORD slot() {
  static const DWORD index = [] {
    const DWORD made = FlsAlloc(freeBuffer);
    if (made == FLS_OUT_OF_INDEXES) throw std::bad_alloc();
    return made;
  }();
  return index;
}

}  // namespace

char* threadBuffer() {
  const DWORD index = slot();
  if (void* buffer = FlsGetValue(index)) return static_cast<char*>(buffer);
  auto buffer = std::make_unique_for_overwrite<char[]>(kThreadBufferSize);
  if (!FlsSetValue(index, buffer.get())) throw std::bad_alloc();
  return buffer.release();
}

}  // namespace kavo
