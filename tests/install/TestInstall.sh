#!/usr/bin/env bash
# Installs the build into a temporary root (DESTDIR) and checks what a Debian
# desktop needs: the layout, the desktop entry, the icons, and that the installed
# launcher starts the program offscreen in the user's own folder, with the help
# files at hand there.
#
#   TestInstall.sh <build folder>
set -uo pipefail
build=$1
root=$(mktemp -d)
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null; wait "$pid" 2>/dev/null; done
  rm -rf "$root"
}
trap cleanup EXIT
failures=0
fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}

DESTDIR="$root/image" cmake --install "$build" --prefix /usr >"$root/install.log" 2>&1 || {
  cat "$root/install.log" >&2
  fail "cmake --install"
  exit 1
}
usr="$root/image/usr"

# The layout.
for f in bin/pemberlux bin/pemberlux-sim libexec/pemberlux/pemberlux; do
  [ -x "$usr/$f" ] || fail "$f is not an installed program"
done
[ -f "$usr/share/applications/pemberlux.desktop" ] || fail "no desktop entry"
for n in 16 32 48 64 128 256; do
  icon="$usr/share/icons/hicolor/${n}x$n/apps/pemberlux.png"
  if [ ! -f "$icon" ]; then
    fail "no ${n}x$n icon"
  elif [ "$(head -c 8 "$icon" | od -An -tx1 | tr -d ' \n')" != 89504e470d0a1a0a ]; then
    fail "the ${n}x$n icon is not a PNG"
  else
    # Width and height from the PNG header.
    size=$(od -An -tu1 -j16 -N8 "$icon" | awk '{print $1*16777216+$2*65536+$3*256+$4 "x" $5*16777216+$6*65536+$7*256+$8}')
    [ "$size" = "${n}x$n" ] || fail "the ${n}x$n icon is $size"
  fi
done
help_files=("$usr/share/pemberlux/help/"*.pdf)
[ -e "${help_files[0]}" ] || fail "no help files"
[ -f "$usr/share/pemberlux/help/LB-610Pemberlux Help File.pdf" ] || fail "no help file for LB-610"
[ -f "$usr/share/pemberlux/help/TR-530Pemberlux帮助文档.pdf" ] || fail "no Chinese help file for TR-530"
[ -f "$usr/share/doc/pemberlux/README.md" ] || fail "no README"

# The desktop entry: valid, starting the launcher, with an icon that is installed.
desktop-file-validate "$usr/share/applications/pemberlux.desktop" || fail "desktop-file-validate"
grep -qx 'Exec=pemberlux' "$usr/share/applications/pemberlux.desktop" || fail "Exec is not the launcher"
grep -qx 'Icon=pemberlux' "$usr/share/applications/pemberlux.desktop" || fail "Icon is not pemberlux"

# Started as the desktop starts it; waits for the settings file its first start
# writes (a generous bound: the machine may be busy).
start() { # <folder the program must use> <env...>
  local folder=$1
  shift
  env -u XDG_CONFIG_HOME "$@" QT_QPA_PLATFORM=offscreen LANG=C.UTF-8 LC_ALL= LC_MESSAGES= \
    PEMBERLUX_BROADCAST_ADDR=127.255.255.255 "$usr/bin/pemberlux" >"$root/program.log" 2>&1 &
  local pid=$!
  pids+=("$pid")
  for _ in $(seq 600); do
    [ -f "$folder/pemberlux.ini" ] && break
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.1
  done
  [ -f "$folder/pemberlux.ini" ] || { fail "no $folder/pemberlux.ini"; cat "$root/program.log" >&2; }
  sleep 1
  kill -0 "$pid" 2>/dev/null || { fail "the program ended on its own"; cat "$root/program.log" >&2; }
  grep -q '^Language=English' "$folder/pemberlux.ini" || fail "pemberlux.ini: $(cat "$folder/pemberlux.ini")"
  local help="$folder/LB-610Pemberlux Help File.pdf"
  [ -L "$help" ] && [ -f "$help" ] || fail "the help files are not at hand in $folder"
  [ "$(readlink -f "$help")" = "$(readlink -f "$usr/share/pemberlux/help/LB-610Pemberlux Help File.pdf")" ] ||
    fail "the help link leads elsewhere"
  kill "$pid"
  wait "$pid" 2>/dev/null
}
start "$root/config/pemberlux" XDG_CONFIG_HOME="$root/config" HOME="$root/home"
# No XDG_CONFIG_HOME (or a relative one): ~/.config.
start "$root/home/.config/pemberlux" HOME="$root/home"
# A file of the user's own in place of a help file stays.
own="$root/home/.config/pemberlux/TR-510Pemberlux Help File.pdf"
rm -f "$own"
echo mine >"$own"
start "$root/home/.config/pemberlux" XDG_CONFIG_HOME=relative HOME="$root/home"
[ ! -L "$own" ] && [ "$(cat "$own")" = mine ] || fail "a file of the user's own was replaced"

[ "$failures" -eq 0 ] && echo "install layout, desktop entry and start: ok"
exit $((failures > 0))
