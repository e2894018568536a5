// What the desktop shows around the Linux window, with GTK 3: its icons, its title bar, and the
// buttons the window manager offers (minimise and close, never maximise). Each desktop honours
// different hints, recorded where they are set.
#ifndef PLQ_SHELL_GTK_WINDOW_FRAME_H_
#define PLQ_SHELL_GTK_WINDOW_FRAME_H_

#include <gtk/gtk.h>

namespace plq::gtk {

// Gives `window` (and every message box after it) the program's icon in every size the build
// made.
void SetIcons(GtkWindow* window);

// Where GTK draws the title bar itself (Wayland), gives `window` one that offers minimise and
// close only and returns it (a new reference, for the caller to unref); elsewhere nullptr.
GtkWidget* MakeTitleBar(GtkWindow* window);

// Once `window` is realized: sizable and minimisable but never maximised, where the window
// manager reads hints for that (X11).
void WithholdMaximise(GtkWidget* window);

}  // namespace plq::gtk

#endif  // PLQ_SHELL_GTK_WINDOW_FRAME_H_
