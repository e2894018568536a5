// Signals through a self-pipe into the event loop (sigaction, not GLib's g_unix_signal_add: a
// second signal must still act while the first waits for a stuck loop), and the display's
// connection watched for its end: an X IO error handler before GDK's own (which ends the process
// at once) and a hang-up watch on the connection, at a priority above GDK's events, so that it
// runs before GDK notices and ends the process (Wayland has no error handler to hook), and GDK's
// own words as it notices first, for the times it does. The
// limits a session sets on the program (getrlimit, setrlimit) are seen to before GTK starts.
#include "shell/gtk/session.h"

#include <fcntl.h>
#include <gdk/gdkwayland.h>
#include <gdk/gdkx.h>
#include <glib-unix.h>
#include <jsc/jsc.h>
#include <sys/resource.h>
#include <unistd.h>

#include <csignal>
#include <cstring>
#include <string>
#include <utility>

#include "shell/core/messages.h"
#include "shell/gtk/crash_cleanup.h"

namespace plq::gtk {
namespace {

constexpr int kSignals[] = {SIGTERM, SIGHUP, SIGINT};
// A crash of the program itself: abort() (WebKitGTK aborts the program when a web process dies
// at its very start), a failed GLib check's breakpoint, a bad memory access.
constexpr int kCrashSignals[] = {SIGABRT, SIGTRAP, SIGSEGV, SIGBUS, SIGILL, SIGFPE};
struct sigaction previous_crash_actions[NSIG];
// The crash handler's own stack: CleanUpAfterCrash needs little, and what the handler from
// before does on it (the default, or a sanitizer's report) fits too.
alignas(16) char alternate_stack[64 * 1024];

int signal_pipe[2] = {-1, -1};
volatile sig_atomic_t received_signal = 0;
// The one watch, for the X IO error handler, which gets no user data.
std::function<void(bool)>* display_lost_callback = nullptr;
XIOErrorHandler gdk_io_error_handler = nullptr;

void OnSignalReceived(int signal_number) {
  if (received_signal != 0) {
    // The first one has not ended the program yet: the event loop is stuck, or has not come
    // round to it (a log-out's SIGTERM and SIGHUP come together; `timeout` signals the program,
    // then its group). This one ends it at once, and first takes the pages away as a crash does,
    // whatever the loop has done of that (measured: SIGTERM then SIGHUP left them 6 times in 6).
    CleanUpAfterCrash();
    std::signal(signal_number, SIG_DFL);
    std::raise(signal_number);
    return;
  }
  received_signal = signal_number;
  const char byte = 1;
  const ssize_t written = write(signal_pipe[1], &byte, 1);
  static_cast<void>(written);  // the flag alone still ends the program at the next signal
}

void OnCrash(int signal_number, siginfo_t* info, void*) {
  CleanUpAfterCrash();
  sigaction(signal_number, &previous_crash_actions[signal_number], nullptr);
  // A fault happens again as the instruction runs again, now met by the handler from before (a
  // sanitizer's, or the default); anything raised or sent is raised again. A breakpoint always
  // is: execution would go on after it.
  const bool fault =
      info != nullptr && info->si_code > 0 && signal_number != SIGTRAP && signal_number != SIGABRT;
  if (!fault) raise(signal_number);
}

int OnXIOError(Display* display) {
  if (display_lost_callback != nullptr) (*display_lost_callback)(true);
  // GDK's handler reports the lost display and ends the process.
  return gdk_io_error_handler != nullptr ? gdk_io_error_handler(display) : 0;
}

// What GDK says just before it ends the process with _exit as it finds the Wayland connection
// gone: a failed write as the loop prepares its next wait (measured: 2 runs in 20 on a busy
// machine, where the compositor ended between two waits and the hang-up watch never came round),
// a failed read, a failed dispatch, the hang-up seen by its own source first.
constexpr const char* kConnectionLost[] = {
    "Error flushing display",
    "Error reading events from display",
    "dispatching to Wayland display",
    "Lost connection to Wayland compositor",
};

[[noreturn]] void EndForLostDisplay() {
  if (display_lost_callback != nullptr) (*display_lost_callback)(true);
  // What GDK would do a moment later, with the files seen to.
  _exit(1);
}

std::string FieldText(const GLogField& field) {
  const char* text = static_cast<const char*>(field.value);
  if (text == nullptr) return {};
  return field.length < 0 ? std::string(text) : std::string(text, field.length);
}

// The log's writer sees every message, structured or not. It stays for the life of the process:
// GLib takes one writer, once.
GLogWriterOutput WriteLog(GLogLevelFlags level, const GLogField* fields, gsize count, gpointer) {
  const GLogWriterOutput written = g_log_writer_default(level, fields, count, nullptr);
  if ((level & G_LOG_LEVEL_MESSAGE) == 0 || display_lost_callback == nullptr) return written;
  std::string domain;
  std::string message;
  for (gsize index = 0; index < count; ++index) {
    if (std::strcmp(fields[index].key, "GLIB_DOMAIN") == 0) domain = FieldText(fields[index]);
    if (std::strcmp(fields[index].key, "MESSAGE") == 0) message = FieldText(fields[index]);
  }
  if (domain != "Gdk") return written;
  for (const char* lost : kConnectionLost) {
    if (message.find(lost) != std::string::npos) EndForLostDisplay();
  }
  return written;
}

int ConnectionFd(GdkDisplay* display) {
  if (GDK_IS_X11_DISPLAY(display)) {
    return ConnectionNumber(gdk_x11_display_get_xdisplay(display));
  }
  if (GDK_IS_WAYLAND_DISPLAY(display)) {
    return wl_display_get_fd(gdk_wayland_display_get_wl_display(display));
  }
  return -1;
}

// What the program needs of each limit (the program, its network process and a web process
// share each one):
// - open files: the program had 23 open, its WebKit processes 16 and 19, the sandbox's D-Bus
//   proxy 14 (and each connection the side panel's widget opens takes one more); with 16 or 20,
//   GLib or WebKit ended the program when a pipe or socket pair failed, with 24 the calculator
//   never showed, with 32 it did. 256 leaves room, a quarter of the usual 1024.
// - address space: JavaScriptCore ended the program at 5 GiB and less; it started with 5.5 GiB.
//   8 GiB leaves room for the pages' scripts.
struct Need {
  int resource;
  rlim_t amount;
  rlim_t unit;  // of the amount in the message
  std::string (*missing)(unsigned long long limit, unsigned long long needed);
};
constexpr rlim_t kMib = rlim_t{1024} * 1024;
const Need kNeeds[] = {
    {RLIMIT_NOFILE, 256, 1, messages::TooFewFiles},
    {RLIMIT_AS, 8192 * kMib, kMib, messages::TooLittleMemory},
};

}  // namespace

std::string RaiseLimits() {
  std::string missing;
  for (const Need& need : kNeeds) {
    rlimit limit;
    if (getrlimit(need.resource, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY ||
        limit.rlim_cur >= need.amount) {
      continue;
    }
    if (limit.rlim_max == RLIM_INFINITY || limit.rlim_max >= need.amount) {
      const rlimit raised = {need.amount, limit.rlim_max};
      if (setrlimit(need.resource, &raised) == 0) continue;
    }
    if (!missing.empty()) missing += "\n";
    missing += need.missing(limit.rlim_cur / need.unit, need.amount / need.unit);
  }
  return missing;
}

SessionWatch::SessionWatch(GdkDisplay* display, std::function<void(bool)> on_end)
    : on_end_(std::move(on_end)) {
  if (pipe2(signal_pipe, O_CLOEXEC | O_NONBLOCK) == 0) {
    // At GDK's own priority, not above it: GLib skips the check of lower-priority sources in a
    // loop iteration that found a higher one ready, which leaves GDK's Wayland source holding a
    // prepared read of the display; gtk_main's closing roundtrip then waits for that read for
    // ever (measured: SIGTERM hung the program on sway, not on X11).
    signal_source_ =
        g_unix_fd_add_full(G_PRIORITY_DEFAULT, signal_pipe[0], G_IO_IN, OnSignal, this, nullptr);
    struct sigaction action = {};
    action.sa_handler = OnSignalReceived;
    action.sa_flags = SA_RESTART;
    // One handler at a time: two signals at once must not both pass for the first.
    sigemptyset(&action.sa_mask);
    for (int signal_number : kSignals) sigaddset(&action.sa_mask, signal_number);
    for (int signal_number : kSignals) sigaction(signal_number, &action, nullptr);
  }
  // A fault on an exhausted stack leaves the kernel no room for the handler's frame there: it
  // then ends the program at once, pages and all (measured: a page that made the program recurse
  // through nested loops). The handler runs on a stack of its own, the sanitizer's where it has
  // set one up for this thread already.
  stack_t current = {};
  if (sigaltstack(nullptr, &current) == 0 && (current.ss_flags & SS_DISABLE) != 0) {
    stack_t own = {};
    own.ss_sp = alternate_stack;
    own.ss_size = sizeof alternate_stack;
    alternate_stack_set_ = sigaltstack(&own, nullptr) == 0;
  }
  // JavaScriptCore puts a fault handler of its own in front (without SA_ONSTACK, chaining to
  // ours) when it first starts in this process, for the panes' script results. Started here
  // first, it leaves the front to ours (this process runs no page's script: nothing of
  // JavaScriptCore's faults here on purpose).
  g_object_unref(jsc_context_new());
  struct sigaction crash = {};
  crash.sa_sigaction = OnCrash;
  crash.sa_flags = SA_SIGINFO | SA_NODEFER | SA_ONSTACK;
  sigemptyset(&crash.sa_mask);
  for (int signal_number : kCrashSignals) {
    sigaction(signal_number, &crash, &previous_crash_actions[signal_number]);
  }
  display_lost_callback = &on_end_;
  if (GDK_IS_X11_DISPLAY(display)) gdk_io_error_handler = XSetIOErrorHandler(OnXIOError);
  static bool log_writer_set = false;
  if (GDK_IS_WAYLAND_DISPLAY(display) && !log_writer_set) {
    g_log_set_writer_func(WriteLog, nullptr, nullptr);
    log_writer_set = true;
  }
  const int fd = ConnectionFd(display);
  if (fd >= 0) {
    // Above GDK's priority, unlike the signals: it ends the process itself, so the read that
    // GDK's skipped check leaves prepared never matters.
    display_source_ =
        g_unix_fd_add_full(G_PRIORITY_HIGH, fd, static_cast<GIOCondition>(G_IO_HUP | G_IO_ERR),
                           OnDisplayHangUp, this, nullptr);
  }
}

SessionWatch::~SessionWatch() {
  for (int signal_number : kCrashSignals) {
    sigaction(signal_number, &previous_crash_actions[signal_number], nullptr);
  }
  if (alternate_stack_set_) {
    stack_t none = {};
    none.ss_flags = SS_DISABLE;
    sigaltstack(&none, nullptr);
  }
  if (gdk_io_error_handler != nullptr) XSetIOErrorHandler(gdk_io_error_handler);
  display_lost_callback = nullptr;
  if (display_source_ != 0) g_source_remove(display_source_);
  if (signal_source_ != 0) g_source_remove(signal_source_);
  // A signal from now on, while the program tears down, ends it the default way.
  struct sigaction action = {};
  action.sa_handler = SIG_DFL;
  sigemptyset(&action.sa_mask);
  if (received_signal == 0) {
    for (int signal_number : kSignals) sigaction(signal_number, &action, nullptr);
  }
  for (int& fd : signal_pipe) {
    if (fd >= 0) close(fd);
    fd = -1;
  }
}

int SessionWatch::signal_number() const { return received_signal; }

gboolean SessionWatch::OnSignal(gint fd, GIOCondition, gpointer self) {
  char bytes[16];
  while (read(fd, bytes, sizeof bytes) > 0) {
  }
  static_cast<SessionWatch*>(self)->on_end_(false);
  return G_SOURCE_CONTINUE;
}

gboolean SessionWatch::OnDisplayHangUp(gint, GIOCondition, gpointer) { EndForLostDisplay(); }

}  // namespace plq::gtk
