// The guard around every call the system makes into the program from C frames (a GLib callback,
// a window procedure, a COM call from the page engine): an exception must never unwind through
// them. What went wrong is logged where the platform logs (ReportUncaught, one definition per
// backend: GLib's critical log on Linux, the debugger's output on Windows).
#ifndef PLQ_SHELL_CORE_GUARDED_H_
#define PLQ_SHELL_CORE_GUARDED_H_

#include <exception>

namespace plq {

void ReportUncaught(const char* where, const char* what) noexcept;

template <typename Body>
void Guarded(const char* where, Body&& body) noexcept {
  try {
    body();
  } catch (const std::exception& e) {
    ReportUncaught(where, e.what());
  } catch (...) {
    ReportUncaught(where, "unknown exception");
  }
}

}  // namespace plq

#endif  // PLQ_SHELL_CORE_GUARDED_H_
