#!/usr/bin/env bash
# `cmake --install` into a temporary prefix, then everything from the installed files alone: the
# example scene renders exactly as from the build tree, also after the prefix has been moved;
# nothing of the build or source tree is inside; pkg-config builds a widget of one's own.
#     install_test.sh BUILD_DIR SOURCE_DIR LIBDIR    (LIBDIR relative to the prefix, e.g. lib)
set -euo pipefail
build="$1"
source="$2"
libdir="$3"
tmp="$(mktemp -d)"
trap 'rm -rf "$tmp"' EXIT
fail() {
  echo "install test: $*" >&2
  exit 1
}

cmake --install "$build" --prefix "$tmp/prefix" --strip >/dev/null

# No path of this machine's build or source tree, in any installed file.
for tree in "$build" "$source"; do
  if found="$(grep -rlF "$tree" "$tmp/prefix")"; then
    fail "the installed files name $tree: $found"
  fi
done
[[ "$(readlink "$tmp/prefix/$libdir/libgre.so.0")" == libgre.so.0.* ]] || fail "libgre.so.0 is not the versioned library"
readelf -d "$tmp/prefix/$libdir/libgre.so.0" | grep -F 'Library soname: [libgre.so.0]' >/dev/null || fail "libgre has no SONAME libgre.so.0"

# The picture from the build tree, for comparison.
"$build/bin/pitwall" render "$source/examples/demo.json" -o "$tmp/from-build.png" 2>/dev/null

# Rendered from the installed files only: a bare environment, run from elsewhere, then moved
# (--verbose: the loading lines say where the images came from).
render_installed() {
  local prefix="$1" out="$2"
  (cd "$tmp" && env -i PATH=/usr/bin:/bin "$prefix/bin/pitwall" render --verbose \
    "$prefix/share/pitwall/examples/demo.json" -o "$out" 2>"$tmp/stderr") ||
    fail "the installed tool failed: $(cat "$tmp/stderr")"
  grep -qF "Loading image $prefix/share/pitwall/app/images/" "$tmp/stderr" ||
    fail "the installed tool did not read the installed theme: $(head -3 "$tmp/stderr")"
  cmp -s "$tmp/from-build.png" "$out" || fail "$out differs from the build tree's picture"
}
render_installed "$tmp/prefix" "$tmp/installed.png"
mv "$tmp/prefix" "$tmp/moved"
render_installed "$tmp/moved" "$tmp/moved.png"

# A widget of one's own, built with the installed header and pkg-config alone.
export PKG_CONFIG_PATH="$tmp/moved/$libdir/pkgconfig"
[[ "$(pkg-config --variable=plugindir pitwall)" -ef "$tmp/moved/$libdir/pitwall/plugins" ]] ||
  fail "pkg-config's plugindir is not the installed plug-in folder"
# shellcheck disable=SC2046 # pkg-config's flags are separate words
cc -std=c11 -Wall -Werror -shared -fPIC -o "$tmp/own_widget.so" "$source/tests/install/own_widget.c" \
  $(pkg-config --cflags --libs pitwall) -Wl,-z,defs || fail "a widget does not build with pkg-config's flags"
echo "install test: passed"
