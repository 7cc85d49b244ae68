// One object of T per thread, created on the thread's first use and destroyed when the
// thread ends.
//
// POSIX: a thread_local. Windows: the mingw runtime destroys the thread_local objects of a
// DLL after it has already freed their (emulated) storage, so a destructor that touches its
// object corrupts the heap. There the object lives on the heap behind a fiber-local slot
// whose callback destroys it at thread exit; the slot is freed when the DLL is unloaded, so
// no callback into an unloaded DLL is left behind. A thread already running when the DLL was
// loaded gets its object on first use like any other.
#ifndef HNVQR_PLATFORM_PER_THREAD_H
#define HNVQR_PLATFORM_PER_THREAD_H

#ifdef _WIN32
#include <windows.h>
#endif

namespace hnvqr {

template <class T>
T& PerThread() {
#ifdef _WIN32
  struct Slot {
    static void WINAPI Destroy(void* object) { delete static_cast<T*>(object); }
    Slot() : index(::FlsAlloc(&Destroy)) {}
    ~Slot() {
      if (index != FLS_OUT_OF_INDEXES) ::FlsFree(index);  // runs Destroy for the values still set
    }
    const DWORD index;
  };
  static Slot slot;
  if (slot.index == FLS_OUT_OF_INDEXES) {
    // No slot to be had (the process has used up its fiber-local slots): the thread's object
    // is then never destroyed, which costs one object per thread and corrupts nothing.
    thread_local T* leaked = nullptr;
    if (leaked == nullptr) leaked = new T();
    return *leaked;
  }
  T* object = static_cast<T*>(::FlsGetValue(slot.index));
  if (object == nullptr) {
    object = new T();
    ::FlsSetValue(slot.index, object);
  }
  return *object;
#else
  thread_local T object;
  return object;
#endif
}

}  // namespace hnvqr

#endif
