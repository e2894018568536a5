// Small helpers for GLib's C callbacks and object references, shared by the Linux backend; the
// guard around every callback (Guarded) is the core's, logging with g_critical.
#ifndef PLQ_SHELL_GTK_GLIB_UTIL_H_
#define PLQ_SHELL_GTK_GLIB_UTIL_H_

#include <glib-object.h>

#include "shell/core/guarded.h"

namespace plq::gtk {

// Takes ownership of a new object, floating or not: the caller unrefs it when done.
template <typename T>
T* KeepSunk(T* object) {
  g_object_ref_sink(object);
  return object;
}

}  // namespace plq::gtk

#endif  // PLQ_SHELL_GTK_GLIB_UTIL_H_
