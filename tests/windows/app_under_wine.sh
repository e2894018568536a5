#!/usr/bin/env bash
# Drives the Windows program under Wine on a virtual X display, as a user would: looks at the
# window, clicks the menu entries, closes it with alt+F4. Internet Explorer is a recording stand-in
# in the test prefix; Wine renders no HTML here (no Gecko), so nothing waits for a page to load.
#
#   app_under_wine.sh setup|cleanup|<scenario>
# Settings come from the environment (set by CTest): PLQ_WINE_RUN, PLQ_WINEPREFIX, PLQ_APP,
# PLQ_CALCULATOR_PAGE, PLQ_SIDE_PANEL_PAGE, PLQ_PROBE, PLQ_STANDIN, PLQ_ARTEFACTS,
# PLQ_BACKEND_TESTS.
set -euo pipefail

scenario=$1
export WINEPREFIX=$PLQ_WINEPREFIX WINEDEBUG=-all
caption='排卵期计算器'
stored_browser='C:\\Program Files\\Internet Explorer\\IEXPLORE.exe'
home_page='www.example.com'
exit_page='http://go.example.com/go/chn/tbk_channel/channelcode.php?pid=mm_10000001_2_3&eventid=101329'

fail() {
  echo "FAIL: $*" >&2
  exit 1
}

# Ends every Wine process of the test prefix and waits until they are gone.
stop_wine() {
  wineserver -k 2>/dev/null || true
  wineserver -w 2>/dev/null || true
}

# The screen the programs of the prefix see: its density (Windows' setting, and the copy Wine keeps
# for its fonts: both are set, never deleted) and the virtual desktop's size. Waits until Wine has
# written the registry out: a wineserver that is killed (stop_wine) loses what it has not written
# yet. Run with no other Wine program going.
set_screen() {
  local dpi=$1 size=$2
  wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$dpi" /f >/dev/null
  wine reg add 'HKCU\Software\Wine\Fonts' /v LogPixels /t REG_DWORD /d "$dpi" /f >/dev/null
  wine reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Default /d "$size" /f >/dev/null
  wineserver -w
}

case $scenario in
  setup)
    stop_wine
    "$PLQ_WINE_RUN" cmd /c exit 0
    # A virtual desktop: Wine then draws the window's caption and frame itself, with no window
    # manager on the X display.
    wine reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d Default /f >/dev/null
    # The prefix's own iexplore.exe stays open and keeps Wine running; the stand-in records its
    # start and leaves.
    cp "$PLQ_STANDIN" "$WINEPREFIX/drive_c/Program Files/Internet Explorer/iexplore.exe"
    # The system's web browser is a stand-in too (Wine's would start the Linux desktop's).
    cp "$PLQ_STANDIN" "$WINEPREFIX/drive_c/windows/default_browser.exe"
    for scheme in http https; do
      wine reg add "HKLM\\Software\\Classes\\$scheme\\shell\\open\\command" /ve \
        /d '"C:\windows\default_browser.exe" "%1"' /f >/dev/null
    done
    stop_wine
    # The desktop is 1024 x 768 at Wine's default density (96 DPI), whatever a test that was cut
    # short left (high_dpi changes both).
    set_screen 96 1024x768
    exit 0
    ;;
  cleanup)
    stop_wine
    exit 0
    ;;
esac

work=$(mktemp -d "${TMPDIR:-/tmp}/plqcalc-wine-test.XXXXXX")
xvfb_pid=
app_pid=
mounted=
hidden=()
planted=()
dpi_set=
finish() {
  stop_wine
  if [ -n "$dpi_set" ]; then
    set_screen 96 1024x768 2>/dev/null || true
  fi
  for file in "${hidden[@]}"; do mv "$file.hidden" "$file"; done
  for file in "${planted[@]}"; do rm -f "$file"; done
  [ -n "$app_pid" ] && kill "$app_pid" 2>/dev/null || true
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null && wait "$xvfb_pid" 2>/dev/null || true
  [ -n "$mounted" ] && umount "$mounted" 2>/dev/null || true
  rm -rf "$work"
}
trap finish EXIT
# CTest's timeout ends the script with SIGTERM: still clean up.
trap 'exit 143' TERM INT HUP

# A fresh wineserver that belongs to this display (earlier runs may have started one without).
stop_wine
# A window at 192 DPI is larger than 1024 x 768, and Wine keeps windows within the desktop.
screen=1024x768
[ "$scenario" = high_dpi ] && screen=2560x1600
Xvfb -displayfd 3 -screen 0 "${screen}x24" -nolisten tcp 3>"$work/display" >/dev/null 2>&1 &
xvfb_pid=$!
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.05; done
[ -s "$work/display" ] || fail "Xvfb did not start"
export DISPLAY=":$(cat "$work/display")"

# Takes a program out of the prefix until the test ends.
hide() {
  mv "$1" "$1.hidden"
  hidden+=("$1")
}
internet_explorer="$WINEPREFIX/drive_c/Program Files/Internet Explorer/iexplore.exe"
default_browser="$WINEPREFIX/drive_c/windows/default_browser.exe"

# Windows paths of Unix files, through Wine's Z: drive.
winpath() { printf 'Z:%s' "${1//\//\\}"; }

log="$work/launches.log"
export PLQ_STANDIN_LOG
PLQ_STANDIN_LOG=$(winpath "$log")

# Starts the program from folder $1 (the page files are expected in folder $2), with any further
# arguments passed on, and waits until its window is there (a window other than $other_window,
# when another copy runs).
other_window=
start_app() {
  local app_dir=$1 page_dir=$2
  shift 2
  export PLQ_STANDIN_WATCH
  PLQ_STANDIN_WATCH="$(winpath "$page_dir/plqclear.htm");$(winpath "$page_dir/1.htm")"
  "$PLQ_WINE_RUN" "$app_dir/plqcalc.exe" "$@" >"$work/app.out" 2>&1 &
  app_pid=$!
  # shellcheck disable=SC2086
  "$PLQ_WINE_RUN" "$PLQ_PROBE" window "$caption" $other_window >"$work/probe.raw" ||
    fail "no window captioned $caption"
  tr -d '\r' <"$work/probe.raw" >"$work/probe.out"
}

# Starts copy A ($pid_a, its window $window_a, its Windows process id $windows_pid_a), then copy
# B ($pid_b, $window_b) from the same folder; `probe` then describes B. The browser's log starts
# empty.
start_two_copies() {
  rm -f "$log"
  start_app "$app" "$app"
  pid_a=$app_pid window_a=$(probe hwnd) windows_pid_a=$(probe pid)
  other_window=$window_a
  start_app "$app" "$app"
  pid_b=$app_pid window_b=$(probe hwnd)
  other_window=
}

# Runs the probe on the program's window and keeps what it printed for `probe`.
describe() {
  "$PLQ_WINE_RUN" "$PLQ_PROBE" describe "$1" | tr -d '\r' >"$work/probe.out" ||
    fail "cannot describe window $1"
}
run_probe() { "$PLQ_WINE_RUN" "$PLQ_PROBE" "$@" | tr -d '\r'; }

probe() { awk -v key="$1" '$1 == key { $1 = ""; sub(/^ /, ""); print }' "$work/probe.out"; }
# The panes' rectangles, left one first, on one line: "x y width height, x y width height".
panes() { probe pane | paste -sd, - | sed 's/,/, /g'; }
entry_point() { awk -v n="$1" '$1 == "entry" && $2 == n { print $4, $5 }' "$work/probe.out"; }

click() {
  xdotool mousemove "$1" "$2" click 1
}

# The menu entries fire on the release of one ordinary click.
click_entry() {
  local point
  point=$(entry_point "$1")
  [ -n "$point" ] || fail "no menu entry $1"
  # shellcheck disable=SC2086
  click $point
}

# Waits until the stand-in has recorded $1 starts.
wait_launches() {
  for _ in $(seq 100); do
    [ "$(wc -l <"$log" 2>/dev/null || echo 0)" -ge "$1" ] && return 0
    sleep 0.1
  done
  fail "the browser was started $(wc -l <"$log" 2>/dev/null || echo 0) times, expected $1"
}

# Record $1 of the stand-ins: the show style, how many page files were left, the program file
# that was started (file names compare without regard to case) and the exact command line.
expect_record() {
  local line=$1 show=$2 files_left=$3 program=$4 command=$5
  local want got
  want=$(printf 'show=%s\tfiles_left=%s\tprogram=%s\tcommand=%s' "$show" "$files_left" "$program" \
    "$command")
  got=$(sed -n "${line}p" "$log")
  [ "${got,,}" = "${want,,}" ] && [ "${got#*$'\t'command=}" = "$command" ] ||
    fail "browser start $line: got [$got], expected [$want]"
}

# Internet Explorer gets the stored path, three spaces and the address.
expect_launch() {
  expect_record "$1" "$2" "$3" 'C:\Program Files\Internet Explorer\iexplore.exe' \
    "$stored_browser   $4"
}

# The system's web browser gets the address with its scheme, in quotes as the association says.
expect_default_browser() {
  expect_record "$1" "$2" "$3" 'C:\windows\default_browser.exe' \
    "\"C:\\windows\\default_browser.exe\" \"$4\""
}

# Waits for the program to end by itself ($1: why it should) and checks that it ended well.
wait_app_end() {
  for _ in $(seq 100); do kill -0 "$app_pid" 2>/dev/null || break; sleep 0.1; done
  kill -0 "$app_pid" 2>/dev/null && fail "the program did not end after $1"
  local status=0
  wait "$app_pid" || status=$?
  app_pid=
  [ "$status" -eq 0 ] || fail "the program ended with status $status: $(cat "$work/app.out")"
}

# Like a user: a click on the caption brings the window to the front, where the keys go.
to_front() {
  # shellcheck disable=SC2046
  click $(probe caption)
  run_probe foreground "$(probe hwnd)" || fail "the window did not come to the front"
}

# Like a user: alt+F4 on the window in front. Waits for the program to end and checks that it
# ended well.
close_app() {
  to_front
  xdotool key alt+F4
  wait_app_end alt+F4
}

# Reads the message box the program shows, presses its OK button and prints the text.
read_message() {
  "$PLQ_WINE_RUN" "$PLQ_PROBE" message "$caption" | tr -d '\r' ||
    fail "no message box captioned $caption"
}

expect_pages() {
  local dir=$1
  cmp "$PLQ_CALCULATOR_PAGE" "$dir/plqclear.htm" || fail "plqclear.htm differs from its resource"
  cmp "$PLQ_SIDE_PANEL_PAGE" "$dir/1.htm" || fail "1.htm differs from its resource"
}

expect_no_pages() {
  local dir=$1
  [ ! -e "$dir/plqclear.htm" ] && [ ! -e "$dir/1.htm" ] || fail "page files left in $dir"
  # Nor any temporary file of the page store, nor the lock file the copies share.
  [ -z "$(find "$dir" -maxdepth 1 -type f ! -name plqcalc.exe)" ] ||
    fail "files left in $dir: $(ls -A "$dir")"
}

# No browser was started at all.
expect_no_launch() {
  [ ! -s "$log" ] || fail "a browser started: $(cat "$log")"
}

app="$work/app"
mkdir -p "$app"
cp "$PLQ_APP" "$app/plqcalc.exe"

case $scenario in
  window)
    start_app "$app" "$app"
    [ "$(probe dpi)" = 96 ] || fail "density $(probe dpi), expected 96"
    [ "$(probe client)" = "735 496" ] || fail "client area $(probe client), expected 735 496"
    # The panes as the layout places them: the window cuts both off.
    [ "$(panes)" = "0 0 553 519, 552 0 209 497" ] || fail "panes at $(panes)"
    [ "$(probe minimize)" = "1 maximize 0 sizable 1 visible 1" ] ||
      fail "frame: minimize $(probe minimize)"
    [ "$(awk '$1 == "entry" { printf "%s ", $3 }' "$work/probe.out")" = "主页 关于 " ] ||
      fail "menu entries: $(grep entry "$work/probe.out")"
    read -r left top right bottom <<<"$(probe outer)"
    [ $(((left + right) / 2 - 512)) -ge -1 ] && [ $(((left + right) / 2 - 512)) -le 1 ] &&
      [ $(((top + bottom) / 2 - 384)) -ge -1 ] && [ $(((top + bottom) / 2 - 384)) -le 1 ] ||
      fail "window at $left $top $right $bottom is not centred on the 1024x768 desktop"
    # X sees the caption as the window's name.
    xdotool search --name "^$caption\$" >/dev/null || fail "no X window named $caption"
    mkdir -p "$PLQ_ARTEFACTS"
    import -window root "$PLQ_ARTEFACTS/windows-window.png"
    echo "screenshot: $PLQ_ARTEFACTS/windows-window.png"
    close_app
    ;;

  page_files)
    # A longer file left behind by an older copy must not keep its tail, and arguments the
    # program does not take change nothing.
    head -c 40000 /dev/urandom >"$app/plqclear.htm"
    start_app "$app" "$app" --bogus "%s%n" '排卵 "' ''
    expect_pages "$app"
    close_app
    expect_no_pages "$app"
    ;;

  unusual_folder)
    # A folder name with spaces, Chinese characters, "#" (a fragment in a bare path) and "%" (an
    # escape). Had the panes been given the bare path, the control would have looked for
    # "程序 文件夹 " and reported the page missing in a message box before the window showed.
    # (Not "%" followed by two hex digits: Wine 8's urlmon decodes such a URL twice.)
    odd="$work/程序 文件夹 #1 100%"
    mkdir -p "$odd"
    mv "$app/plqcalc.exe" "$odd/"
    start_app "$odd" "$odd"
    expect_pages "$odd"
    click_entry 1
    wait_launches 1
    expect_launch 1 1 2 "$home_page"
    close_app
    expect_no_pages "$odd"
    ;;

  menu)
    # A program planted at C:\Program.exe, which an unquoted command line with no program name
    # would start first, is never started.
    planted+=("$WINEPREFIX/drive_c/Program.exe")
    cp "$PLQ_STANDIN" "$WINEPREFIX/drive_c/Program.exe"
    start_app "$app" "$app"
    click_entry 1
    wait_launches 1
    click_entry 2
    wait_launches 2
    expect_launch 1 1 2 "$home_page"
    expect_launch 2 1 2 "$home_page"
    close_app
    ;;

  close)
    start_app "$app" "$app"
    "$PLQ_WINE_RUN" "$PLQ_PROBE" watch "$(winpath "$app")" "$(winpath "$work/removed.log")" 3 &
    watch_pid=$!
    for _ in $(seq 100); do grep -q ready "$work/removed.log" 2>/dev/null && break; sleep 0.1; done
    grep -q ready "$work/removed.log" || fail "the folder watch did not start"
    close_app
    wait "$watch_pid" || fail "the page files were not both removed: $(cat "$work/removed.log")"
    # The pages, then the lock file the copies of the program share the folder by.
    [ "$(tr '\n' ' ' <"$work/removed.log")" = "ready plqclear.htm 1.htm .plqcalc.lock " ] ||
      fail "removal order: $(tr '\n' ' ' <"$work/removed.log")"
    wait_launches 1
    expect_launch 1 3 0 "$exit_page"
    expect_no_pages "$app"
    ;;

  read_only_folder)
    # Root writes through file modes, so the folder is a read-only mount.
    ro="$work/readonly"
    mkdir -p "$ro"
    mount -t tmpfs -o size=8m tmpfs "$ro" || { echo "cannot mount a tmpfs here: skipped"; exit 77; }
    mounted=$ro
    cp "$app/plqcalc.exe" "$ro/"
    mount -o remount,ro "$ro"
    local_dir="$WINEPREFIX/drive_c/users/$(id -un)/AppData/Local/plqcalc"
    rm -rf "$local_dir"
    start_app "$ro" "$local_dir"
    expect_pages "$local_dir"
    click_entry 1
    wait_launches 1
    expect_launch 1 1 2 "$home_page"
    close_app
    wait_launches 2
    expect_launch 2 3 0 "$exit_page"
    [ ! -e "$local_dir/plqclear.htm" ] && [ ! -e "$local_dir/1.htm" ] ||
      fail "page files left in $local_dir"
    ;;

  default_browser)
    # Where Internet Explorer is missing the system's web browser opens the pages.
    hide "$internet_explorer"
    start_app "$app" "$app"
    click_entry 2
    wait_launches 1
    expect_default_browser 1 1 2 "http://$home_page"
    close_app
    wait_launches 2
    expect_default_browser 2 3 0 "$exit_page"
    expect_no_pages "$app"
    ;;

  no_browser)
    # With no browser at all each attempt is reported, the window stays usable and closing
    # still removes the pages and ends the program normally.
    hide "$internet_explorer"
    hide "$default_browser"
    start_app "$app" "$app"
    click_entry 1
    message=$(read_message)
    echo "menu entry: $message"
    [[ $message == *"$home_page"* ]] || fail "the message does not name the page: $message"
    click_entry 2
    message=$(read_message)
    to_front
    xdotool key alt+F4
    message=$(read_message)
    echo "closing: $message"
    [[ $message == *"$exit_page"* ]] || fail "the message does not name the exit page: $message"
    wait_app_end alt+F4
    expect_no_launch
    expect_no_pages "$app"
    ;;

  pane_failure)
    # A WebBrowser control that cannot be created is reported and ends the program before any
    # page file is written.
    WINEDLLOVERRIDES="ieframe=" "$PLQ_WINE_RUN" "$app/plqcalc.exe" >"$work/app.out" 2>&1 &
    app_pid=$!
    message=$(read_message)
    echo "message: $message"
    [[ $message == "排卵期计算器无法启动。"$'\n'"WebBrowser1: CoCreateInstance(CLSID_WebBrowser): "?* ]] ||
      fail "unexpected message: $message"
    status=0
    wait "$app_pid" || status=$?
    app_pid=
    [ "$status" -eq 1 ] || fail "the program ended with status $status, expected 1"
    expect_no_pages "$app"
    ;;

  pane_events)
    # The backend's pane tests that need a window, which Wine makes only on a display: a page
    # file that cannot be loaded is reported through the control's own NavigateError, and the
    # control is gone once its pane lets it go.
    "$PLQ_WINE_RUN" "$PLQ_BACKEND_TESTS" --gtest_filter='BrowserPaneTest.*' >"$work/gtest.out" 2>&1 ||
      { tr -d '\r' <"$work/gtest.out"; fail "the pane tests failed"; }
    tr -d '\r' <"$work/gtest.out"
    grep -q '^\[  PASSED  \] 2 tests' "$work/gtest.out" && ! grep -q SKIPPED "$work/gtest.out" ||
      fail "the pane tests did not run"
    ;;

  two_copies)
    # Two copies from one folder: the first to close leaves the pages to the other, which still
    # shows them; the last one takes the pages and the lock file away. Both orders.
    for first in A B; do
      start_two_copies
      # B moves aside, so that a click on either caption reaches its own window.
      run_probe move "$window_b" 270 330 >/dev/null || fail "cannot move the second window"
      expect_pages "$app"
      [ -e "$app/.plqcalc.lock" ] || fail "no lock file while both copies run"
      if [ "$first" = A ]; then order="$pid_a $window_a $pid_b $window_b"; else
        order="$pid_b $window_b $pid_a $window_a"; fi
      read -r pid1 window1 pid2 window2 <<<"$order"
      describe "$window1"
      app_pid=$pid1
      close_app
      wait_launches 1
      # The exit page opens for the first copy while both page files are still there.
      expect_launch 1 3 2 "$exit_page"
      expect_pages "$app"
      [ -e "$app/.plqcalc.lock" ] || fail "the lock file went while a copy still runs"
      describe "$window2"
      app_pid=$pid2
      close_app
      wait_launches 2
      expect_launch 2 3 0 "$exit_page"
      expect_no_pages "$app"
      echo "closed $first first: ok"
    done
    ;;

  killed_copy)
    # A copy that is killed outright takes nothing away (it cannot); the one left still removes
    # everything when it closes. Killed from Linux (the Wine process, no Windows code runs) and
    # from Windows (taskkill /f: TerminateProcess).
    for how in signal taskkill; do
      start_two_copies
      if [ "$how" = signal ]; then
        kill -KILL "$pid_a"
      else
        "$PLQ_WINE_RUN" taskkill /f /pid "$windows_pid_a" >/dev/null 2>&1 ||
          fail "taskkill /f failed"
      fi
      wait "$pid_a" 2>/dev/null || true
      expect_pages "$app"
      close_app
      wait_launches 1
      expect_launch 1 3 0 "$exit_page"
      expect_no_pages "$app"
      echo "killed by $how: ok"
    done
    ;;

  session_end)
    # The session ends under the program, or something outside ends its message loop: the pages
    # and the lock file go, no browser starts, and the program ends by itself.
    for how in probe wineboot quit; do
      start_app "$app" "$app"
      window=$(probe hwnd)
      expect_pages "$app"
      case $how in
        # WM_QUERYENDSESSION (the program never holds the session up), then WM_ENDSESSION(TRUE).
        probe) [ "$(run_probe endsession "$window" 1)" = "query 1" ] ||
          fail "the program held up the end of the session" ;;
        # Wine's own end of session sends the same two messages to every window.
        wineboot) "$PLQ_WINE_RUN" wineboot --end-session >/dev/null 2>&1 ||
          fail "wineboot --end-session failed" ;;
        # WM_QUIT posted to the program's thread: the loop ends without any close.
        quit) run_probe quit "$window" || fail "cannot post WM_QUIT" ;;
      esac
      wait_app_end "$how"
      expect_no_pages "$app"
      expect_no_launch
      echo "$how: ok"
    done
    # An end of session that is called off changes nothing: the window stays, with its pages,
    # and closing it later is an ordinary close.
    start_app "$app" "$app"
    [ "$(run_probe endsession "$(probe hwnd)" 0)" = "query 1" ] || fail "query refused"
    kill -0 "$app_pid" 2>/dev/null || fail "the program ended though the session did not"
    expect_pages "$app"
    close_app
    wait_launches 1
    expect_launch 1 3 0 "$exit_page"
    expect_no_pages "$app"
    ;;

  linked_folder)
    # The program's folder is reached through a symbolic link: the pages are not written through
    # it but into the private folder.
    ln -s "$app" "$work/link"
    local_dir="$WINEPREFIX/drive_c/users/$(id -un)/AppData/Local/plqcalc"
    rm -rf "$local_dir"
    start_app "$work/link" "$local_dir"
    expect_pages "$local_dir"
    expect_no_pages "$app"
    close_app
    wait_launches 1
    expect_launch 1 3 0 "$exit_page"
    [ ! -e "$local_dir" ] || fail "the private folder stayed: $(ls -A "$local_dir")"
    ;;

  high_dpi)
    # At 144 DPI the window, its client area and both panes are 1.5 times their size; moved to a
    # 192 DPI monitor (WM_DPICHANGED), the window takes the suggested rectangle and the panes
    # double.
    dpi_set=1
    stop_wine
    set_screen 144 "$screen"
    start_app "$app" "$app"
    [ "$(probe dpi)" = 144 ] || fail "density $(probe dpi), expected 144"
    [ "$(probe client)" = "1103 744" ] || fail "client area $(probe client), expected 1103 744"
    [ "$(panes)" = "0 0 830 779, 828 0 314 746" ] || fail "panes at 144 DPI: $(panes)"
    mkdir -p "$PLQ_ARTEFACTS"
    import -window root "$PLQ_ARTEFACTS/windows-window-144dpi.png"
    window=$(probe hwnd)
    suggested=$(run_probe dpichanged "$window" 192 | awk '$1 == "suggested" { print $2, $3, $4, $5 }')
    [ -n "$suggested" ] || fail "WM_DPICHANGED could not be sent"
    describe "$window"
    [ "$(probe outer)" = "$suggested" ] ||
      fail "window at $(probe outer), suggested $suggested"
    [ "$(panes)" = "0 0 1106 1038, 1104 0 418 994" ] || fail "panes at 192 DPI: $(panes)"
    close_app
    expect_no_pages "$app"
    ;;

  keyboard)
    # The keyboard is in the calculator when the window opens and whenever it is activated
    # again; Tab leaves it there; F6 and Ctrl+Tab (Shift too) move it between the panes; F10
    # still reaches the menu. A screen reader has a name for each pane.
    start_app "$app" "$app"
    window=$(probe hwnd)
    [ "$(probe name | paste -sd, -)" = "1 计算器,2 侧栏：推荐商品（广告）" ] ||
      fail "pane names: $(probe name | paste -sd, -)"
    expect_focus() {
      local got
      got=$(run_probe focus "$window" "$1")
      [ "$got" = "focus $1" ] || fail "after $2 the keyboard is in pane ${got#focus }, expected $1"
    }
    expect_focus 1 "the start"
    to_front
    expect_focus 1 "a click on the caption"
    # The pane that has the keyboard after the keys.
    while read -r pane keys; do
      # shellcheck disable=SC2086
      xdotool key $keys
      expect_focus "$pane" "$keys"
    done <<'KEYS'
2 Tab Tab Tab F6
1 F6
2 ctrl+Tab
1 ctrl+shift+Tab
2 shift+F6
KEYS
    xdotool key F10 Return
    wait_launches 1
    expect_launch 1 1 2 "$home_page"
    close_app
    ;;

  one_box)
    # A message box is open when the window is closed: the close waits until the box is
    # answered (no second box over it, no unload inside its loop), then goes on.
    hide "$internet_explorer"
    hide "$default_browser"
    start_app "$app" "$app"
    click_entry 1
    [ "$(run_probe close "$caption" "$(probe hwnd)" | paste -sd' ' -)" = "answered 1 boxes 1" ] ||
      fail "the close did not wait for the open box"
    message=$(read_message)
    [[ $message == *"$home_page"* ]] || fail "first box: $message"
    message=$(read_message)
    [[ $message == *"$exit_page"* ]] || fail "the close did not go on: $message"
    wait_app_end "the close"
    expect_no_pages "$app"
    ;;

  *)
    fail "unknown scenario $scenario"
    ;;
esac
echo "ok: $scenario"
