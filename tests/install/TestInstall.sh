#!/usr/bin/env bash
# Installs the build into a temporary root (DESTDIR) and checks what a Debian
# desktop needs: the layout, the desktop entry, the icons, and that the installed
# launcher starts the program offscreen in the user's own folder, the folder
# pemberlux-cli reads its settings from too.
#
#   TestInstall.sh <build folder> <hardened: ON|OFF> <AppStream id>
set -uo pipefail
build=$1
hardened=${2:-ON}
appstream_id=${3:-org.pemberlux.pemberlux}
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
for f in bin/pemberlux bin/pemberlux-sim bin/pemberlux-cli libexec/pemberlux/pemberlux; do
  [ -x "$usr/$f" ] || fail "$f is not an installed program"
done
for page in pemberlux pemberlux-sim pemberlux-cli; do
  man="$usr/share/man/man1/$page.1.gz"
  if [ ! -f "$man" ]; then
    fail "no manual page $page.1.gz"
  else
    gzip -dc "$man" | grep -q '^\.TH "\?'"${page^^}" || fail "$page.1.gz is not the manual page of $page"
    # Renders without a warning, and its NAME section is what apropos reads.
    warnings=$(MANWIDTH=80 man --warnings -E UTF-8 -l "$man" 2>&1 >/dev/null)
    [ -z "$warnings" ] || fail "$page.1.gz: $warnings"
    lexgrog "$man" >/dev/null 2>&1 || fail "$page.1.gz: lexgrog finds no NAME section"
    gzip -dc "$man" | grep -q '^\.SH "SEE ALSO"' || fail "$page.1.gz has no SEE ALSO"
    # The package ships no source tree to point into.
    ! gzip -dc "$man" | grep -q 'README' || fail "$page.1.gz points to a README the package does not ship"
  fi
done
page() { MANWIDTH=80 man -E UTF-8 -l "$usr/share/man/man1/$1.1.gz" 2>/dev/null; }
page pemberlux | grep -q '^FILES$' || fail "pemberlux.1.gz has no FILES"
page pemberlux | grep -q 'share/pemberlux/help/MODEL Pemberlux Help File.pdf' || fail "pemberlux.1.gz: no help files"
# A model a line, as the options stand, not one paragraph; the exit code 130 as a row of its own.
page pemberlux-sim | grep -q '^       TR-530 *the TR-520 under its Chinese name$' || fail "pemberlux-sim.1.gz: no TR-530 row"
page pemberlux-cli | grep -q '^       130 *interrupted (Ctrl-C)' || fail "pemberlux-cli.1.gz: no exit code 130 row"
page pemberlux-cli | grep -q '^JSON OUTPUT$' || fail "pemberlux-cli.1.gz has no JSON OUTPUT"
# The shell completion of pemberlux-cli, where bash-completion and zsh look for it.
grep -q '^complete -F _pemberlux_cli pemberlux-cli$' "$usr/share/bash-completion/completions/pemberlux-cli" 2>/dev/null ||
  fail "no bash completion for pemberlux-cli"
grep -q '^#compdef pemberlux-cli$' "$usr/share/zsh/vendor-completions/_pemberlux-cli" 2>/dev/null ||
  fail "no zsh completion for pemberlux-cli"
[ -f "$usr/share/doc/pemberlux/copyright" ] || fail "no copyright file"
gzip -t "$usr/share/doc/pemberlux/changelog.gz" 2>/dev/null || fail "no gzipped changelog"
rules="$usr/lib/udev/rules.d/70-pemberlux.rules"
if [ -f "$rules" ]; then
  # Every vendor of the model table and of the firmware loaders is handed to the seat's user.
  for vendor in 3a7e 5e10 2c5d; do
    grep -q "ATTRS{idVendor}==\"$vendor\".*TAG+=\"uaccess\"" "$rules" || fail "the udev rule misses the printers of $vendor"
  done
else
  fail "no udev rule"
fi
svg="$usr/share/icons/hicolor/scalable/apps/pemberlux.svg"
grep -q '<svg' "$svg" 2>/dev/null || fail "no scalable icon"
metainfo="$usr/share/metainfo/$appstream_id.metainfo.xml"
if [ -f "$metainfo" ]; then
  appstreamcli validate --no-net --pedantic "$metainfo" >"$root/appstream.log" 2>&1 ||
    { cat "$root/appstream.log" >&2; fail "appstreamcli validate"; }
else
  fail "no AppStream metainfo"
fi
[ -f "$usr/share/applications/pemberlux.desktop" ] || fail "no desktop entry"
for n in 16 22 24 32 48 64 128 256 512; do
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
  # The folder holds the user's settings, not links into the installation.
  [ -z "$(find "$folder" -name '*.pdf' -type l)" ] || fail "help files linked into $folder"
  kill "$pid"
  wait "$pid" 2>/dev/null
}
start "$root/config/pemberlux" XDG_CONFIG_HOME="$root/config" HOME="$root/home"
# No XDG_CONFIG_HOME (or a relative one): ~/.config.
start "$root/home/.config/pemberlux" HOME="$root/home"
start "$root/home/.config/pemberlux" XDG_CONFIG_HOME=relative HOME="$root/home"

# The command line reads the settings the installed program wrote, from any
# folder: their interface is where it goes.
sed -i 's/^CurPortType=.*/CurPortType=4/; s/^IpAddr=.*/IpAddr=127.0.0.1/; s/^ListenPort=.*/ListenPort=1/' \
  "$root/home/.config/pemberlux/pemberlux.ini"
message=$(cd "$root" && env -u XDG_CONFIG_HOME -u PEMBERLUX_CONFIG HOME="$root/home" \
  "$usr/bin/pemberlux-cli" --model LB-610 label info 2>&1 >/dev/null)
grep -q '127\.0\.0\.1:1: ' <<<"$message" ||
  fail "pemberlux-cli did not use ~/.config/pemberlux/pemberlux.ini: $message"

# The .deb as `make package` builds it: lintian finds no error and no warning.
# Without the hardening flags (a developer's build) their tags are not counted.
if command -v lintian >/dev/null; then
  if ! (cd "$build" && cpack -G DEB -B "$root/deb" >"$root/cpack.log" 2>&1); then
    cat "$root/cpack.log" >&2
    fail "cpack"
  else
    deb=$(ls "$root"/deb/pemberlux_*.deb)
    suppress=()
    [ "$hardened" = ON ] || suppress=(--suppress-tags hardening-no-bindnow,hardening-no-fortify-functions,hardening-no-relro)
    lintian --fail-on error,warning "${suppress[@]}" "$deb" >"$root/lintian.log" 2>&1 ||
      { cat "$root/lintian.log" >&2; fail "lintian"; }
    dpkg-deb -f "$deb" Depends | grep -q 'qt6-qpa-plugins' || fail "Depends lacks qt6-qpa-plugins"
    dpkg-deb -f "$deb" Depends | grep -q 'libudev1' || fail "Depends lacks libudev1"
    dpkg-deb -f "$deb" Recommends | grep -q 'xdg-utils' || fail "Recommends lacks xdg-utils"
    dpkg-deb -f "$deb" Recommends | grep -q 'qt6-translations-l10n' || fail "Recommends lacks qt6-translations-l10n"
  fi
else
  fail "lintian is not installed (scripts/bootstrap installs it)"
fi

[ "$failures" -eq 0 ] && echo "install layout, desktop entry, start and package: ok"
exit $((failures > 0))
