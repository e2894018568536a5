# The facts the program shares with its build, each written once. The top CMakeLists.txt reads
# this file before anything else; the desktop entry, the metainfo, the resource script, the
# GResource list, the installer and the packages take the values from here, and CMake writes them
# into shell/core/facts.h (from facts.h.in), where the C++ code reads them under the names given
# below. Plain values only: they go into C string literals as they are (no quotes, no
# backslashes).

# The program's reverse-DNS application id under the maker's domain (C++: kApplicationId): the
# desktop entry's and the AppStream component's name, the icon's name, the Wayland app_id / X11
# class of the window and the key of the Windows uninstall entry.
set(PLQ_APPLICATION_ID "com.example.plqcalc")

# The maker's web site, a bare host name with no path (kHomePageAddress): the menu entry
# `homepage` opens it, and the packages name it as the project's home page.
set(PLQ_HOME_PAGE_ADDRESS "www.example.com")

# The main window's caption (kCaption), also the title of every message box, the executable's
# description, the installer's and the Start-menu shortcut's name, and the program's Chinese name
# in the desktop entry and the metainfo.
set(PLQ_CAPTION "排卵期计算器")

# The pages' resource type and ids: `custom` 101 and 102 in the Windows resource script, the
# GResources /custom/101 and /custom/102 on Linux (kPageResourceType, PLQ_..._PAGE_ID).
set(PLQ_PAGE_RESOURCE_TYPE "custom")
set(PLQ_CALCULATOR_PAGE_ID 101)
set(PLQ_SIDE_PANEL_PAGE_ID 102)

# The page files' names, in the folder the program writes them into and in the build tree
# (kCalculatorPageFile, kSidePanelPageFile).
set(PLQ_CALCULATOR_PAGE_FILE "plqclear.htm")
set(PLQ_SIDE_PANEL_PAGE_FILE "1.htm")

# The per-user folder that holds the page files when the program's own folder cannot
# (kPrivateFolderName): $XDG_RUNTIME_DIR/plqcalc or ~/.cache/plqcalc, %LOCALAPPDATA%\plqcalc.
set(PLQ_PRIVATE_FOLDER_NAME "plqcalc")

# The hidden file beside the pages by which copies of the program share a folder on Windows
# (kLockFileName); the uninstaller removes it with the pages.
set(PLQ_LOCK_FILE_NAME ".plqcalc.lock")
