// Resource ids shared by plqcalc.rc and the code.
#ifndef PLQ_SHELL_WIN32_RESOURCE_H_
#define PLQ_SHELL_WIN32_RESOURCE_H_

#define IDI_PLQCALC 1
#define IDR_MENU 100
// The pages: type "custom", ids 101 and 102, as the page store reads them.
#define IDR_CALCULATOR_PAGE 101
#define IDR_SIDE_PANEL_PAGE 102
// The menu entries `homepage` ("主页") and `about` ("关于").
#define IDM_HOMEPAGE 1001
#define IDM_ABOUT 1002

#endif  // PLQ_SHELL_WIN32_RESOURCE_H_
