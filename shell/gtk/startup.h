// How the program's process starts GTK and WebKit, so that it holds no more than the panes need.
#ifndef PLQ_SHELL_GTK_STARTUP_H_
#define PLQ_SHELL_GTK_STARTUP_H_

namespace plq::gtk {

// gtk_init_check, with the GL stack kept out of this process (the web processes keep theirs):
// false when the display cannot be opened.
bool StartToolkit(int* argc, char*** argv);

}  // namespace plq::gtk

#endif  // PLQ_SHELL_GTK_STARTUP_H_
