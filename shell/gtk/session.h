// What ends the desktop session under the Linux program, watched from the moment it is made: the
// signals of a log-out (SIGTERM), a closed terminal (SIGHUP) and Ctrl+C (SIGINT), and the display
// going away (the X server or the Wayland compositor ending). Each calls `on_end` once; for the
// display, GTK ends the process right after it, so `on_end` must only see to the files. A crash
// of the program itself (an abort, a fault) takes the page files away on its way out
// (CleanUpAfterCrash, crash_cleanup.h).
#ifndef PLQ_SHELL_GTK_SESSION_H_
#define PLQ_SHELL_GTK_SESSION_H_

#include <gdk/gdk.h>

#include <functional>
#include <string>

namespace plq::gtk {

// Sees that the limits set on the program (ulimit) leave it what it needs, before GTK and
// WebKit start: both end the program when they run out (SIGABRT, with no word). A soft limit
// below the need is raised to it where the hard limit allows. Returns what is still missing as
// a sentence for the user (messages.h), empty when nothing is.
std::string RaiseLimits();

class SessionWatch {
 public:
  // on_end(display_lost)
  SessionWatch(GdkDisplay* display, std::function<void(bool)> on_end);
  ~SessionWatch();
  SessionWatch(const SessionWatch&) = delete;
  SessionWatch& operator=(const SessionWatch&) = delete;

  // The signal that ended the session, 0 if none did. The program ends by it once it has cleaned
  // up, so that whoever sent it sees it obeyed.
  int signal_number() const;

 private:
  static gboolean OnSignal(gint fd, GIOCondition condition, gpointer self);
  static gboolean OnDisplayHangUp(gint fd, GIOCondition condition, gpointer self);

  std::function<void(bool)> on_end_;
  guint signal_source_ = 0;
  guint display_source_ = 0;
  bool alternate_stack_set_ = false;
};

}  // namespace plq::gtk

#endif  // PLQ_SHELL_GTK_SESSION_H_
