// Small helpers for GLib's C callbacks and object references, shared by the Linux backend.
#ifndef PLQ_SHELL_GTK_GLIB_UTIL_H_
#define PLQ_SHELL_GTK_GLIB_UTIL_H_

#include <glib-object.h>

#include <exception>

namespace plq::gtk {

// Exceptions must not unwind through GLib's C frames: every callback body runs in here.
template <typename Body>
void Guarded(const char* where, Body&& body) noexcept {
  try {
    body();
  } catch (const std::exception& e) {
    g_critical("%s: %s", where, e.what());
  } catch (...) {
    g_critical("%s: unknown exception", where);
  }
}

// Takes ownership of a new object, floating or not: the caller unrefs it when done.
template <typename T>
T* KeepSunk(T* object) {
  g_object_ref_sink(object);
  return object;
}

}  // namespace plq::gtk

#endif  // PLQ_SHELL_GTK_GLIB_UTIL_H_
