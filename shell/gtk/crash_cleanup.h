// What a crash of the program (an abort, a fault) takes away on its way out: the page files the
// last page folder to write them holds, when no other copy of the program uses it, and a private
// folder left empty, and what the sandbox left. Kept apart from page_folder.h so that the signal
// handling, which sits beside Xlib's headers, needs none of the core's.
#ifndef PLQ_SHELL_GTK_CRASH_CLEANUP_H_
#define PLQ_SHELL_GTK_CRASH_CLEANUP_H_

namespace plq::gtk {

// Only async-signal-safe calls: for signal handlers. Defined with the page folder.
void RemovePagesAfterCrash();
// The socket of the sandbox's D-Bus proxy, which the proxy leaves when it is ended with the
// program (a signal to the whole process group). Defined with the web context.
void RemoveSandboxSocketAfterCrash();

}  // namespace plq::gtk

#endif  // PLQ_SHELL_GTK_CRASH_CLEANUP_H_
