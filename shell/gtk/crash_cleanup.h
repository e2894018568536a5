// What the Linux program takes away when it cannot end the ordinary way: a crash (an abort, a
// fault; WebKitGTK aborts the program when a web process dies at its very start) or a second
// signal while the first is still waiting for the event loop. Everywhere else Form1 owns the
// program's end (form1.h); this is the one exception, because a signal handler may use only
// async-signal-safe calls and cannot reach the core. So the page folder and the web context note
// here, as they go, what such an end must remove, in plain fixed-size records. Kept apart from
// page_folder.h so that the signal handling, which sits beside Xlib's headers, needs none of the
// core's.
#ifndef PLQ_SHELL_GTK_CRASH_CLEANUP_H_
#define PLQ_SHELL_GTK_CRASH_CLEANUP_H_

#include <string>

namespace plq::gtk {

// The page folder `owner` (open as `fd`, a private folder also by `parent_fd` and its `name`
// there, else -1) holds the page file `page`. Notes of another owner are replaced.
void NotePageForCrash(const void* owner, int fd, int parent_fd, const std::string& name,
                      const std::string& page);
// `owner` lets go of its folder: nothing of it is removed any more.
void ForgetPagesForCrash(const void* owner);
// The socket of the sandbox's D-Bus proxy that this program started, which the proxy leaves
// when it is ended with the program (a signal to the whole process group); "" forgets it.
void NoteSandboxSocketForCrash(const std::string& path);

// For signal handlers only (async-signal-safe): the noted page files, when no other copy of
// the program uses their folder, and a private folder left empty; and the noted socket.
void CleanUpAfterCrash();

}  // namespace plq::gtk

#endif  // PLQ_SHELL_GTK_CRASH_CLEANUP_H_
