// Resource and command ids of the Windows program: those of the pages come from the core
// (shell/core/facts.cmake, through the generated facts.h), the rest live only here.
#ifndef PLQ_SHELL_WIN32_RESOURCE_H_
#define PLQ_SHELL_WIN32_RESOURCE_H_

#include "shell/core/facts.h"

#define IDI_PLQCALC 1
// The menu entries `homepage` ("主页") and `about` ("关于").
#define IDM_HOMEPAGE 1001
#define IDM_ABOUT 1002

#endif  // PLQ_SHELL_WIN32_RESOURCE_H_
