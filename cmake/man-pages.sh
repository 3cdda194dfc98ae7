#!/usr/bin/env bash
# Writes the manual pages of pitwall and of each of its commands (pitwall-render.1, ...), made by
# help2man from the tool's own --help, gzipped without a timestamp as Debian keeps them:
#     man-pages.sh OUT_DIR VERSION TOOL...
# TOOL is the built program, after its emulator in a cross build (qemu-arm -L ROOT pitwall).
set -euo pipefail
out="$1"
version="$2"
shift 2
tool=("$@")
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

# help2man runs PROGRAM --help: one small program per page, named as the page is.
wrapper() {
  local name="$1"
  shift
  {
    echo '#!/bin/sh'
    printf 'exec'
    printf ' %q' "${tool[@]}" "$@"
    echo ' "$@"'
  } >"$work/bin/$name"
  chmod +x "$work/bin/$name"
}

# The commands, from the Subcommands section of the tool's help.
mkdir -p "$work/bin"
commands=()
while read -r command _; do commands+=("$command"); done < <(
  "${tool[@]}" --help | sed -n '/^Subcommands:/,/^$/p' | sed -n 's/^  \([a-z][a-z0-9-]*\) .*/\1/p')
[[ ${#commands[@]} -gt 0 ]] || {
  echo "man-pages.sh: the tool's help lists no commands" >&2
  exit 1
}

# A page's NAME line is the first line of its help, as `man -k` shows it.
summary() { "$work/bin/$1" --help | head -n 1 | sed 's/^\(.\)/\L\1/; s/\.$//'; }

page() {
  local name="$1" see_also="$2"
  printf '[see also]\n%s\n' "$see_also" >"$work/$name.h2m"
  help2man --no-info --section=1 --version-string="$version" --name="$(summary "$name")" \
    --include="$work/$name.h2m" --output="$work/$name.1" "$work/bin/$name"
  gzip -9n -c "$work/$name.1" >"$out/man1/$name.1.gz"
}

rm -rf "$out/man1"
mkdir -p "$out/man1"
wrapper pitwall
all=""
for command in "${commands[@]}"; do
  wrapper "pitwall-$command" "$command"
  all+=".BR pitwall-$command (1)"$'\n'
done
page pitwall "${all%$'\n'}"
for command in "${commands[@]}"; do page "pitwall-$command" ".BR pitwall (1)"; done
