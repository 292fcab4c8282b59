#!/usr/bin/env bash
# Runs two builds of the program through the same session and compares what
# the user saw and what they wrote: the way to show that a restructuring
# changed nothing a user or a stored file could tell.
#
#   scripts/compare-runs.sh OLD_EXE NEW_EXE [OUT]
#
# Each executable gets a fresh home (the same path every time, so locations
# and screens match), a seeded catalogue and settings, and one Xvfb of a fixed
# size with openbox and trayer. xdotool then browses (categories, rows, a sort,
# Properties, the menus, Options) and makes every kind of edit, each undone
# with Ctrl+Z and redone with Ctrl+Shift+Z and Ctrl+Y: after each, the saved
# catalogue must be byte for byte the one before the edit, or the one after
# it. A screenshot is taken at every point. Ctrl+Q ends the run, which must
# exit with 0.
#
# OUT (by default /tmp/quillmere-compare) gets old/ and new/ (screenshots,
# the catalogue after each step, the files at the end, the program's output)
# and diff/ (a difference image for each pair of screenshots that differ).
# The exit status is 0 when every check held and everything compared equal.
# Needs Xvfb, openbox, trayer, xdotool and ImageMagick.
set -uo pipefail

if [ $# -lt 2 ]; then
  sed -n '2,21p' "$0" | sed 's/^# \{0,1\}//'
  exit 2
fi
old_exe=$(readlink -f "$1")
new_exe=$(readlink -f "$2")
out=${3:-/tmp/quillmere-compare}
for tool in Xvfb openbox trayer xdotool import compare convert; do
  command -v "$tool" >/dev/null || { echo "compare-runs: $tool is missing" >&2; exit 2; }
done

# One path for both runs: the list shows locations, and the files written
# hold them.
home_root=${TMPDIR:-/tmp}/quillmere-walk
screen=1280x1024x24
timeout_s=20
failures=0

fail() {
  echo "  FAIL: $*" >&2
  failures=$((failures + 1))
}

# ------------------------------------------------------------------ the world

seed() {
  rm -rf "$home_root"
  export HOME=$home_root/home
  export XDG_CONFIG_HOME=$home_root/config XDG_DATA_HOME=$home_root/data
  export XDG_CACHE_HOME=$home_root/cache XDG_RUNTIME_DIR=$home_root/runtime
  docs=$HOME/Docs
  mkdir -p "$docs/Reports" "$XDG_CONFIG_HOME/Velmarch" "$XDG_DATA_HOME/Quillmere" \
    "$XDG_CACHE_HOME" "$XDG_RUNTIME_DIR"
  chmod 700 "$XDG_RUNTIME_DIR"
  for f in plan.odt notes.txt alpha.txt zeta.txt budget.ods Reports/q1.txt Reports/q2.txt; do
    printf 'contents of %s\n' "$f" >"$docs/$f"
  done
  # Fixed times: the file dialog and the list show them.
  touch -d '2024-03-01 10:00:00' "$docs"/* "$docs"/Reports/* "$docs" "$HOME"
  dat=$XDG_DATA_HOME/Quillmere/quillmere.dat
  conf=$XDG_CONFIG_HOME/Velmarch/Quillmere.conf
  # name, level, location, comment, kind (1 category, 2 file, 3 folder, 4 URL), additional
  line() { printf '%s\0%s\0%s\0%s\0%s\0%s\r\n' "$@"; }
  {
    line Work 0 "" "Things for work" 1 ""
    line plan.odt 1 "$docs/plan.odt" "the plan" 2 ""
    line Reports 1 "" "quarterly" 1 ""
    line q1.txt 2 "$docs/Reports/q1.txt" "" 2 "ledger"
    line q2.txt 2 "$docs/Reports/q2.txt" "second quarter" 2 ""
    line "Example site" 1 "https://example.org/" "a web address" 4 ""
    line Home 0 "" "" 1 ""
    line zeta.txt 1 "$docs/zeta.txt" "" 2 ""
    line notes.txt 1 "$docs/notes.txt" "" 2 ""
    line gone.pdf 1 "$docs/gone.pdf" "was here once" 2 ""
    line alpha.txt 1 "$docs/alpha.txt" "" 2 ""
    line "Docs folder" 1 "$docs" "" 3 ""
    line "No category" 0 "" "" 1 ""
  } >"$dat"
  cat >"$conf" <<'EOF'
[General]
AdTitle=Extra
FormHeight=600
FormLeft=100
FormTop=120
FormWidth=900
ListStyle=2
TreeWidth=220
Width1=110
EOF
}

start_desktop() {
  local fd_file=$run_out/display
  Xvfb -displayfd 3 -screen 0 "$screen" -nolisten tcp 3>"$fd_file" 2>"$run_out/xvfb.log" &
  xvfb_pid=$!
  local i
  for i in $(seq 100); do [ -s "$fd_file" ] && break; sleep 0.1; done
  export DISPLAY=:$(head -n1 "$fd_file")
  for i in $(seq 100); do xdotool getdisplaygeometry >/dev/null 2>&1 && break; sleep 0.1; done
  openbox >"$run_out/openbox.log" 2>&1 &
  wm_pid=$!
  trayer --edge top --align right --widthtype pixel --width 160 --height 28 \
    >"$run_out/trayer.log" 2>&1 &
  trayer_pid=$!
  # The tray is there before the program looks for it.
  timeout "$timeout_s" xdotool search --sync --class trayer >/dev/null ||
    fail "the tray host did not come up"
  # The window manager is up once it owns the screen's selection.
  for i in $(seq 100); do
    xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q window && break
    sleep 0.1
  done
}

stop_desktop() {
  local p
  for p in ${program_pid:-} $trayer_pid $wm_pid $xvfb_pid; do kill "$p" 2>/dev/null; done
  for p in ${program_pid:-} $trayer_pid $wm_pid $xvfb_pid; do wait "$p" 2>/dev/null; done
  program_pid=
}

# ------------------------------------------------------------------ waiting

# The program's visible windows (main window, tray icon, menus, dialogs).
window_count() {
  xdotool search --onlyvisible --pid "$program_pid" 2>/dev/null | wc -l
}

wait_until() {
  local what=$1
  shift
  local deadline=$((SECONDS + timeout_s))
  until "$@"; do
    if [ $SECONDS -ge $deadline ]; then
      fail "$step: timed out waiting for $what"
      return 1
    fi
    sleep 0.1
  done
}

count_is() { [ "$(window_count)" -eq "$1" ]; }
wait_windows() { wait_until "$1 windows" count_is "$1"; }

wait_named() {
  timeout "$timeout_s" xdotool search --all --sync --onlyvisible --pid "$program_pid" --name "$1" \
    >/dev/null || fail "$step: no window named $1"
}

named_gone() { ! xdotool search --all --onlyvisible --pid "$program_pid" --name "$1" >/dev/null 2>&1; }
wait_gone() { wait_until "$1 to close" named_gone "$1"; }

title_is() { [ "$(xdotool getwindowname "$main_window" 2>/dev/null)" = "$1" ]; }
wait_title() { wait_until "title $1" title_is "$1"; }

# The catalogue as the autosave wrote it.
dat_differs() { ! cmp -s "$dat" "$1"; }
dat_equals() { cmp -s "$dat" "$1"; }
dat_has() { grep -a -q -F -- "$1" "$dat"; }
dat_lacks() { ! grep -a -q -F -- "$1" "$dat"; }
line_of() { grep -a -n -F -- "$1" "$dat" | head -n1 | cut -d: -f1; }
dat_before() { [ "$(line_of "$1")" -lt "$(line_of "$2")" ]; }

# Keeps the catalogue of this point as NAME (for the undo checks and the
# comparison of the two runs).
keep() {
  cp "$dat" "$run_out/dat/$1.dat"
}

pointer_moved() { [ "$(xdotool getmouselocation --shell | head -n2)" != "$pointer_before" ]; }

shot() {
  # Let the last paint reach the server.
  sleep 0.5
  import -window root "$run_out/shots/$1.png"
}

key() { xdotool key "$@"; }

# Opens the menu that KEYS opens, takes its picture and closes it.
menu_shot() {
  local name=$1
  shift
  local before
  before=$(window_count)
  key "$@"
  wait_windows $((before + 1))
  shot "$name"
  key Escape
  wait_windows "$before"
}

# Undo and redo of the step just taken: the Edit menu names it, Ctrl+Z gives
# back the catalogue kept as BEFORE, Ctrl+Shift+Z and Ctrl+Y the one kept as
# AFTER, byte for byte.
undo_redo() {
  local name=$1 before=$2 after=$3
  step="$name: Edit menu"
  menu_shot "$name-1-editmenu" alt+e
  step="$name: Ctrl+Z"
  key ctrl+z
  wait_until "the catalogue before $name" dat_equals "$run_out/dat/$before.dat"
  shot "$name-2-undone"
  menu_shot "$name-3-editmenu-undone" alt+e
  step="$name: Ctrl+Shift+Z"
  key ctrl+shift+z
  wait_until "the catalogue after $name" dat_equals "$run_out/dat/$after.dat"
  shot "$name-4-redone"
  step="$name: Ctrl+Z again"
  key ctrl+z
  wait_until "the catalogue before $name" dat_equals "$run_out/dat/$before.dat"
  step="$name: Ctrl+Y"
  key ctrl+y
  wait_until "the catalogue after $name" dat_equals "$run_out/dat/$after.dat"
  shot "$name-5-redone-ctrl-y"
}

# ------------------------------------------------------------------ the walk

# Screen points of the seeded window (FormLeft 100, FormTop 120, 900x600):
# the tree's rows are 18 pixels apart from Tree0, the list's from List0.
tree_x=190
tree0=199
list_x=410
list0=217
name_header_x=380
header_y=199
delete_button_x=216
toolbar_y=173
tree_row() { echo $((tree0 + 18 * $1)); }
list_row() { echo $((list0 + 18 * $1)); }

walk() {
  local exe=$1
  run_out=$2
  rm -rf "$run_out"
  mkdir -p "$run_out/shots" "$run_out/dat"
  seed
  start_desktop
  step=start
  "$exe" >"$run_out/program.log" 2>&1 &
  program_pid=$!
  main_window=$(timeout "$timeout_s" xdotool search --all --sync --onlyvisible --pid "$program_pid" \
    --name '^Quillmere 3\.3 - ' | head -n1)
  if [ -z "$main_window" ]; then
    fail "the main window did not come up"
    stop_desktop
    return
  fi
  xdotool windowactivate --sync "$main_window"
  # Main window and tray icon.
  wait_windows 2
  keep 00-seeded
  shot 01-start

  # Browsing. The tree has the keyboard: the maker's category is first and
  # open, then Work, Home, No category.
  step=browse
  key Down Down Down Down Right
  wait_title "Quillmere 3.3 - Work"
  shot 02-work
  key Down Down
  wait_title "Quillmere 3.3 - Reports"
  key Right
  shot 03-reports
  key Down Down Down Down
  wait_title "Quillmere 3.3 - Home"
  key Right
  shot 04-home
  # Home: zeta.txt, notes.txt, gone.pdf, alpha.txt, Docs folder.
  xdotool mousemove "$list_x" "$(list_row 1)" click 1
  shot 05-list-row
  step="Properties of a row"
  key alt+Return
  wait_named '^Properties$'
  shot 06-properties
  key Escape
  wait_gone '^Properties$'
  step="context menu"
  local before
  before=$(window_count)
  xdotool mousemove "$list_x" "$(list_row 1)" click 3
  wait_windows $((before + 1))
  shot 07-context-menu
  key Escape
  wait_windows "$before"
  step=Options
  key F12
  wait_named '^Options$'
  shot 08-options
  key Escape
  wait_gone '^Options$'
  step="tree context menu"
  xdotool mousemove "$tree_x" "$(tree_row 12)" click 3
  wait_windows $((before + 1))
  shot 09-tree-context-menu
  key Escape
  wait_windows "$before"

  # A sort by name that reorders Home.
  step=sort
  xdotool mousemove "$name_header_x" "$header_y" click 1
  wait_until "Home sorted" dat_differs "$run_out/dat/00-seeded.dat"
  keep 10-sorted
  dat_before alpha.txt zeta.txt || fail "sort: Home not in order of names"
  shot 10-sorted
  undo_redo 11-sort 00-seeded 10-sorted

  # A new category with its first name, after Home. Rows from here: the
  # maker's category and its three links, Work, plan.odt, Reports, q1.txt,
  # q2.txt, Example site, Home...
  step="add category"
  xdotool mousemove "$tree_x" "$(tree_row 10)" click 1
  wait_title "Quillmere 3.3 - Home"
  key ctrl+n
  shot 12-add-category-editor
  xdotool type --delay 30 "Projects"
  key Return
  wait_until "Projects saved" dat_has "Projects"
  keep 12-added
  shot 12-added
  undo_redo 13-add-category 10-sorted 12-added

  # A file through the "Add file" dialog, placed on Work by a click.
  step="add file"
  key Insert
  wait_named '^Add file$'
  shot 14-add-file-dialog
  xdotool type --delay 20 "$docs/budget.ods"
  pointer_before=$(xdotool getmouselocation --shell | head -n2)
  key Return
  wait_gone '^Add file$'
  # The program puts the pointer on the tree for the placement: a click
  # before that would land before the placement began.
  wait_until "the pointer on the tree" pointer_moved
  xdotool mousemove "$tree_x" "$(tree_row 4)" click 1
  wait_until "budget.ods saved" dat_has "budget.ods"
  keep 14-file-added
  shot 14-file-added
  undo_redo 15-add-file 12-added 14-file-added

  # Rename in place: Reports (under Work) becomes Papers.
  step="rename in place"
  xdotool mousemove "$((tree_x + 20))" "$(tree_row 6)" click 1
  wait_title "Quillmere 3.3 - Reports"
  key F2
  shot 16-rename-editor
  key ctrl+a
  xdotool type --delay 30 "Papers"
  key Return
  wait_until "Papers saved" dat_has "Papers"
  keep 16-renamed
  shot 16-renamed
  undo_redo 17-rename 14-file-added 16-renamed

  # Rename in Properties: q1.txt, first row of Papers' list.
  step="rename in Properties"
  xdotool mousemove "$list_x" "$(list_row 0)" click 1
  key alt+Return
  wait_named '^Properties$'
  key ctrl+a
  xdotool type --delay 30 "first.txt"
  shot 18-properties-renamed
  key Return
  wait_gone '^Properties$'
  wait_until "first.txt saved" dat_has "first.txt"
  keep 18-renamed-in-properties
  shot 18-renamed-in-properties
  undo_redo 19-properties-rename 16-renamed 18-renamed-in-properties

  # A comment on the same row, through the Service menu.
  step=comment
  xdotool mousemove "$list_x" "$(list_row 0)" click 1
  before=$(window_count)
  key alt+s
  wait_windows $((before + 1))
  key Down Return
  wait_named '^Comment$'
  key ctrl+a
  xdotool type --delay 30 "first quarter"
  shot 20-comment
  key Return
  wait_gone '^Comment$'
  wait_until "the comment saved" dat_has "first quarter"
  keep 20-commented
  shot 20-commented
  undo_redo 21-comment 18-renamed-in-properties 20-commented

  # Remove Papers with its contents from the program.
  step="remove category"
  xdotool mousemove "$((tree_x + 20))" "$(tree_row 6)" click 1
  wait_title "Quillmere 3.3 - Papers"
  before=$(window_count)
  # Ctrl+Del until the first rename in place, Delete alone after it.
  key Delete
  wait_windows $((before + 1))
  shot 22-remove-question
  key Return
  wait_windows "$before"
  wait_until "Papers removed" dat_lacks "Papers"
  keep 22-removed
  shot 22-removed
  undo_redo 23-remove 20-commented 22-removed

  # A drag inside the tree: plan.odt (under Work) onto Home.
  step="drag in the tree"
  local y_from y_to
  y_from=$(tree_row 5)
  y_to=$(tree_row 8)
  xdotool mousemove "$((tree_x + 20))" "$y_from" mousedown 1
  for y in $(seq "$((y_from + 4))" 6 "$y_to") "$y_to"; do xdotool mousemove "$((tree_x + 10))" "$y"; sleep 0.05; done
  shot 24-dragging
  xdotool mouseup 1
  wait_until "plan.odt moved" dat_differs "$run_out/dat/22-removed.dat"
  keep 24-moved
  shot 24-moved
  undo_redo 25-move 22-removed 24-moved

  # Delete from hard disk: notes.txt from Home's list (plan.odt, alpha.txt,
  # Docs folder, gone.pdf, notes.txt...), through the tool bar.
  step="delete from disk"
  xdotool mousemove "$tree_x" "$(tree_row 7)" click 1
  wait_title "Quillmere 3.3 - Home"
  shot 26-home-before-delete
  keep 26-before-delete
  xdotool mousemove "$list_x" "$(list_row 4)" click 1
  before=$(window_count)
  xdotool mousemove "$delete_button_x" "$toolbar_y" click 1
  wait_windows $((before + 1))
  shot 26-delete-question
  key Return
  # The file goes to the trash; then the question whether to remove every
  # link to it, this one among them.
  wait_until "notes.txt in the trash" test -e "$XDG_DATA_HOME/Trash/files/notes.txt"
  wait_windows $((before + 1))
  shot 26-links-question
  key Return
  wait_windows "$before"
  wait_until "notes.txt removed" dat_lacks "notes.txt"
  keep 26-deleted
  shot 26-deleted
  [ -e "$docs/notes.txt" ] && fail "delete: notes.txt still on disk"
  [ -e "$XDG_DATA_HOME/Trash/files/notes.txt" ] || fail "delete: notes.txt not in the trash"
  undo_redo 27-delete 26-before-delete 26-deleted
  [ -e "$docs/notes.txt" ] && fail "delete redone: notes.txt still on disk"
  step="delete undone"
  key ctrl+z
  wait_until "notes.txt back" dat_equals "$run_out/dat/26-before-delete.dat"
  [ -f "$docs/notes.txt" ] || fail "delete undone: notes.txt not back on disk"
  [ "$(cat "$docs/notes.txt" 2>/dev/null)" = "contents of notes.txt" ] ||
    fail "delete undone: notes.txt not as it was"
  [ -e "$XDG_DATA_HOME/Trash/files/notes.txt" ] && fail "delete undone: still in the trash"
  shot 28-delete-undone-file-back

  # Restore data: a backup (Ctrl+S), a change, the restore (Ctrl+O).
  step=backup
  before=$(window_count)
  key ctrl+s
  # The tray's balloon says it is saved.
  wait_windows $((before + 1))
  shot 29-backup
  step=restore
  keep 29-backed-up
  xdotool mousemove "$tree_x" "$(tree_row 7)" click 1
  key ctrl+n
  xdotool type --delay 30 "Later"
  key Return
  wait_until "Later saved" dat_has "Later"
  keep 30-after-backup
  # The restore asks nothing.
  key ctrl+o
  wait_until "the backup restored" dat_lacks "Later"
  keep 30-restored
  shot 30-restored
  # The tray's balloon about the restore goes by itself after a while: gone
  # before the next pictures, so that none depends on how long the steps took.
  step="restore balloon"
  timeout_s=60 wait_windows "$before"
  undo_redo 31-restore 30-after-backup 30-restored

  # The end: the window's last look, then Ctrl+Q.
  step=quit
  shot 32-end
  key ctrl+q
  local status
  wait "$program_pid"
  status=$?
  program_pid=
  [ "$status" -eq 0 ] || fail "Ctrl+Q: the program exited with $status"
  cp "$dat" "$run_out/quillmere.dat"
  cp "$conf" "$run_out/Quillmere.conf"
  stop_desktop
}

# ------------------------------------------------------------------ compare

trap 'stop_desktop 2>/dev/null' EXIT
if [ "${WALK_ONLY:-}" ]; then
  # One run only, while a walk is being written.
  walk "$new_exe" "$out/new"
  echo "compare-runs: $failures failure(s)"
  exit $((failures > 0))
fi
echo "compare-runs: old $old_exe"
walk "$old_exe" "$out/old"
echo "compare-runs: new $new_exe"
walk "$new_exe" "$out/new"

mkdir -p "$out/diff"
rm -f "$out/diff"/*.png
same=0
different=0
for a in "$out"/old/shots/*.png; do
  name=$(basename "$a")
  b=$out/new/shots/$name
  if [ ! -f "$b" ]; then
    echo "  $name: only in the old run"
    different=$((different + 1))
    continue
  fi
  pixels=$(compare -metric AE "$a" "$b" "$out/diff/$name" 2>&1 >/dev/null)
  if [ "$pixels" = 0 ]; then
    same=$((same + 1))
    rm -f "$out/diff/$name"
  else
    # Where the differences lie, to tell a caret from a change.
    box=$(convert "$a" "$b" -compose difference -composite -threshold 0 -trim \
      -format '%w %h %X%Y' info: 2>/dev/null)
    read -r w h at <<<"$box"
    note=
    # A text cursor caught on in one run and off in the other.
    [ "$w" -le 2 ] && [ "$h" -le 24 ] && note=" (a blinking text cursor?)"
    echo "  $name: $pixels pixels differ, within ${w}x$h$at$note"
    different=$((different + 1))
  fi
done
echo "screenshots: $same equal, $different different"
for rel in $(cd "$out/old" && ls dat/*.dat) quillmere.dat Quillmere.conf; do
  if cmp -s "$out/old/$rel" "$out/new/$rel"; then
    echo "  $rel: equal"
  else
    echo "  $rel: DIFFERENT"
    failures=$((failures + 1))
  fi
done
[ "$different" -eq 0 ] || failures=$((failures + 1))
echo "compare-runs: $failures failure(s)"
[ "$failures" -eq 0 ]
