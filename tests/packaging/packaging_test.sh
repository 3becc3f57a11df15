#!/usr/bin/env bash
# The installed form of the program, one check per run:
#
#   packaging_test.sh validate PROGRAM DEBIAN-PACKAGE ARGS...
#       runs a validator; any error or warning it reports fails
#   packaging_test.sh launcher LAUNCHER.in
#       the menu's launcher makes and enters ~/Curanote, or says why not
#   packaging_test.sh manpage TOOL PAGE
#       the manual page has every command, option and exit status of the tool
#   packaging_test.sh deb BUILD-DIR CPACK VERSION
#       the Debian package holds what is installed and nothing else
#
# Exit status 77 (a skip) says which tool is missing.
set -euo pipefail

skip() {
  echo "skipped: $*"
  exit 77
}
fail() {
  echo "FAILED: $*" >&2
  exit 1
}
need() {
  command -v "$1" >/dev/null 2>&1 || skip "$1 is not installed (Debian package $2)"
}

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

validate() {
  local program=$1 package=$2
  shift 2
  need "$program" "$package"
  local out rc=0
  out=$("$program" "$@" 2>&1) || rc=$?
  echo "$out"
  [ "$rc" -eq 0 ] || fail "$program exited with $rc"
  if grep -Eq '(^|: )(error|warning|E|W): ' <<<"$out"; then
    fail "$program reported errors or warnings"
  fi
}

launcher() {
  local template=$1
  # The program stands in as a script that tells where it was started.
  printf '#!/bin/sh\npwd\n' >"$tmp/program"
  chmod +x "$tmp/program"
  sed "s|@CURANOTE_PROGRAM@|$tmp/program|" "$template" >"$tmp/launcher"
  mkdir "$tmp/home"

  local out
  out=$(HOME="$tmp/home" sh "$tmp/launcher") || fail "launcher failed on the first start"
  [ "$out" = "$tmp/home/Curanote" ] || fail "first start ran in '$out'"
  [ -d "$tmp/home/Curanote" ] || fail "~/Curanote was not made"

  echo "kept" >"$tmp/home/Curanote/patient.dbf"
  out=$(HOME="$tmp/home" sh "$tmp/launcher") || fail "launcher failed with ~/Curanote there"
  [ "$out" = "$tmp/home/Curanote" ] || fail "second start ran in '$out'"
  [ "$(cat "$tmp/home/Curanote/patient.dbf")" = "kept" ] || fail "the data folder's files changed"

  # A file where the folder should be: no start, a message, the file untouched.
  mkdir "$tmp/home2"
  echo "not a folder" >"$tmp/home2/Curanote"
  local rc=0
  out=$(HOME="$tmp/home2" sh "$tmp/launcher" 2>&1) || rc=$?
  [ "$rc" -ne 0 ] || fail "launcher started the program without its data folder"
  grep -q "cannot use its data folder $tmp/home2/Curanote" <<<"$out" || fail "no message: $out"
  [ "$(cat "$tmp/home2/Curanote")" = "not a folder" ] || fail "the file in the way was changed"
}

# Text with every run of blanks and line ends made one space.
flat() {
  tr -s ' \n\t' '   ' | sed 's/^ //; s/ $//'
}

manpage() {
  local tool=$1 page=$2
  need man man-db
  [ -f "$page" ] || fail "$page has not been built"
  local warnings
  warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -E UTF-8 -l -Tutf8 -Z "$page" 2>&1 >/dev/null)
  [ -z "$warnings" ] || fail "man reports: $warnings"
  MANWIDTH=1000 LC_ALL=C man -E ascii -P cat -l "$page" >"$tmp/page.txt"

  local commands
  # Each command by its name, a group's subcommands by both words ("print receipt").
  commands=$("$tool" help | sed -n 's/^  curanote-data \([a-z][a-z0-9-]*\( [a-z][a-z0-9-]*\)\{0,1\}\).*/\1/p')
  [ -n "$commands" ] || fail "'$tool help' lists no commands"
  local name
  while IFS= read -r name; do
    "$tool" help $name >"$tmp/help.txt"
    # The command's part of the page: from its heading to the next heading.
    awk -v name="$name" '
      $0 == "   " name { on = 1; next }
      on && (/^   [^ ]/ || /^[^ ]/) { exit }
      on' "$tmp/page.txt" | flat >"$tmp/section.txt"
    [ -s "$tmp/section.txt" ] || fail "no section for $name"
    # Its synopsis, summary and description, word for word.
    local prose synopsis
    synopsis=$(sed -n 2p "$tmp/help.txt" | flat)
    grep -qF -- "$synopsis" "$tmp/section.txt" || fail "$name: synopsis '$synopsis' missing"
    prose=$(sed -n '/^      /p' "$tmp/help.txt" | flat)
    grep -qF -- "$prose" "$tmp/section.txt" || fail "$name: description missing: $prose"
    # Each option with its help.
    local option
    while IFS= read -r option; do
      grep -qF -- "$(flat <<<"$option")" "$tmp/section.txt" || fail "$name: option missing: $option"
    done < <(grep '^  --' "$tmp/help.txt")
  done <<<"$commands"

  local status
  status=$("$tool" help | sed -n '/^Exit status/,$p' | flat)
  awk '/^EXIT STATUS/ { on = 1; next } on && /^[^ ]/ { exit } on' "$tmp/page.txt" | flat >"$tmp/status.txt"
  grep -qF -- "$status" "$tmp/status.txt" || fail "exit status missing: $status"
}

deb() {
  local build=$1 cpack=$2 version=$3
  need dpkg-deb dpkg
  need dpkg-shlibdeps dpkg-dev
  [ -f "$build/CPackConfig.cmake" ] || fail "$build is not a configured build"
  # The configured build's install rules, packed by CPack directly into a
  # folder of the test's own: nothing is built here.
  if ! "$cpack" -G DEB --config "$build/CPackConfig.cmake" -B "$tmp" >"$tmp/cpack.log" 2>&1; then
    cat "$tmp/cpack.log"
    fail "cpack could not make the package (is everything built?)"
  fi
  local file="$tmp/curanote_${version}_$(dpkg --print-architecture).deb"
  [ -f "$file" ] || fail "no $(basename "$file"); made: $(ls "$tmp")"

  dpkg-deb --contents "$file" | awk '{ print $6 }' | grep -v '/$' | sort >"$tmp/files.txt"
  sort >"$tmp/expected.txt" <<'EOF'
./usr/bin/curanote
./usr/bin/curanote-data
./usr/libexec/curanote/curanote-launcher
./usr/share/applications/curanote.desktop
./usr/share/doc/curanote/changelog.gz
./usr/share/doc/curanote/copyright
./usr/share/icons/hicolor/16x16/apps/curanote.png
./usr/share/icons/hicolor/24x24/apps/curanote.png
./usr/share/icons/hicolor/32x32/apps/curanote.png
./usr/share/icons/hicolor/48x48/apps/curanote.png
./usr/share/icons/hicolor/64x64/apps/curanote.png
./usr/share/icons/hicolor/128x128/apps/curanote.png
./usr/share/icons/hicolor/256x256/apps/curanote.png
./usr/share/icons/hicolor/scalable/apps/curanote.svg
./usr/share/man/man1/curanote-data.1.gz
./usr/share/metainfo/curanote.metainfo.xml
EOF
  diff -u "$tmp/expected.txt" "$tmp/files.txt" || fail "the package's files differ from the list (- expected, + packed)"

  local depends
  depends=$(dpkg-deb --field "$file" Depends)
  echo "Depends: $depends"
  local dep
  for dep in fonts-liberation libqt6core6 libqt6gui6 libqt6widgets6 libc6 libstdc++6; do
    tr ',' '\n' <<<"$depends" | sed 's/^ *//; s/ .*//' | grep -qxF -- "$dep" || fail "Depends lacks $dep"
  done

  # The menu entry starts the packed launcher, and the launcher the packed program.
  dpkg-deb --extract "$file" "$tmp/root"
  local exec
  exec=$(sed -n 's/^Exec=//p' "$tmp/root/usr/share/applications/curanote.desktop")
  [ "$exec" = "/usr/libexec/curanote/curanote-launcher" ] || fail "menu entry runs '$exec'"
  grep -qx 'exec "/usr/bin/curanote"' "$tmp/root$exec" || fail "the launcher does not start /usr/bin/curanote"
  [ -x "$tmp/root$exec" ] || fail "the launcher is not executable"
  local bin
  for bin in curanote curanote-data; do
    if readelf -S "$tmp/root/usr/bin/$bin" 2>/dev/null | grep -q '\.debug_info'; then
      fail "$bin is packed with its debugging information"
    fi
  done
}

command=$1
shift
"$command" "$@"
