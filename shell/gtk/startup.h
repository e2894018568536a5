// How the program's process starts GTK and WebKit, so that it holds no more than the panes need.
#ifndef PLQ_SHELL_GTK_STARTUP_H_
#define PLQ_SHELL_GTK_STARTUP_H_

#include <memory>

#include "shell/gtk/web_context.h"

namespace plq::gtk {

// gtk_init_check and the program's web context, with the GL stack kept out of this process (the
// web processes keep theirs): nullptr when the display cannot be opened.
std::unique_ptr<WebContext> StartToolkit(int* argc, char*** argv);

}  // namespace plq::gtk

#endif  // PLQ_SHELL_GTK_STARTUP_H_
