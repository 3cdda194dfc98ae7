#!/usr/bin/env bash
# A widget author's first hour, from this build's Debian packages alone: the three packages are made
# with cpack and unpacked into a temporary root; the example widgets shipped in pitwall-dev are built
# from that root with CMake (find_package(Pitwall)) and with pkg-config; each library exports
# gre_plugin_create alone; the root's own `pitwall` loads them beside the stock plug-ins with
# --plugins, draws their scenes (the trace says which lamps are lit), lints them and puts them in
# the gallery with their description file.
#     sdk_test.sh BUILD_DIR SOURCE_DIR
set -euo pipefail
build="$1"
source="$2"
tmp="$(mktemp -d)"
trap 'rm -rf "$tmp"' EXIT
fail() {
  echo "sdk test: $*" >&2
  exit 1
}

(cd "$tmp" && cpack --config "$build/CPackConfig.cmake" -B "$tmp/packages" >"$tmp/cpack.log" 2>&1) ||
  fail "cpack failed: $(tail -5 "$tmp/cpack.log")"
root="$tmp/root"
for deb in "$tmp"/packages/*.deb; do dpkg-deb -x "$deb" "$root"; done
libgre="$(find "$root/usr/lib" -name libgre.so.0 -print -quit)"
[[ -n "$libgre" ]] || fail "no libgre.so.0 in the packages"
libdir="$(dirname "$libgre")"
examples="$root/usr/share/doc/pitwall-dev/examples"
[[ -f "$examples/widget/CMakeLists.txt" && -f "$examples/widget-c/pit_lamp.c" ]] ||
  fail "pitwall-dev lacks the example widgets under ${examples#"$root"}"
# Only the root: no tool, library, header or pkg-config file of this machine's own installation.
export PKG_CONFIG_PATH="$libdir/pkgconfig" PKG_CONFIG_LIBDIR="$libdir/pkgconfig"
run_quiet() { # LOG COMMAND...: the command's output goes to LOG, shown when it fails
  local log="$1"
  shift
  "$@" >"$log" 2>&1 || fail "$* failed: $(tail -20 "$log")"
}

# ---- the builds: each row is a name, a folder of its own and how it is built there ----------------
cmake_build() { # SOURCE_FOLDER BUILD_FOLDER
  run_quiet "$2.log" cmake -S "$1" -B "$2" -DCMAKE_PREFIX_PATH="$root/usr" -DCMAKE_COMPILE_WARNING_AS_ERROR=ON
  grep -q "^Pitwall_DIR:PATH=$libdir/cmake/Pitwall\$" "$2/CMakeCache.txt" ||
    fail "find_package(Pitwall) did not take the root's package: $(grep ^Pitwall_DIR "$2/CMakeCache.txt")"
  run_quiet "$2.log" cmake --build "$2"
}
make_build() { # SOURCE_FOLDER BUILD_FOLDER: the Makefile, in a copy of the example
  cp -r "$1" "$2"
  run_quiet "$2.log" make -C "$2" CXXFLAGS="-O2 -Wall -Wextra -Werror"
}
cc_build() { # SOURCE_FOLDER BUILD_FOLDER: the one line in pit_lamp.c's head comment
  mkdir -p "$2"
  # shellcheck disable=SC2046 # pkg-config's flags are separate words
  run_quiet "$2.log" cc -std=c11 -O2 -Wall -Wextra -Werror -fPIC -fvisibility=hidden -shared \
    -o "$2/libgre-plugin-PitLamp.so" "$1/pit_lamp.c" $(pkg-config --cflags --libs pitwall) \
    -Wl,--version-script="$(pkg-config --variable=exportmap pitwall)" -Wl,-z,defs
}
builds=(
  # name         how          example   library
  "shift-cmake   cmake_build  widget    ShiftLights"
  "shift-make    make_build   widget    ShiftLights"
  "lamp-cmake    cmake_build  widget-c  PitLamp"
  "lamp-cc       cc_build     widget-c  PitLamp"
)
for row in "${builds[@]}"; do
  read -r name how example library <<<"$row"
  "$how" "$examples/$example" "$tmp/$name"
  so="$tmp/$name/libgre-plugin-$library.so"
  [[ -f "$so" ]] || fail "$name: no $so"
  exports="$(nm -D --defined-only "$so" | awk '{ print $3 }' | tr '\n' ' ')"
  [[ "$exports" == "gre_plugin_create " ]] || fail "$name: $(basename "$so") exports $exports, not gre_plugin_create alone"
  readelf -d "$so" | grep -qF '[libgre.so.0]' || fail "$name: $(basename "$so") does not need libgre.so.0"
done
[[ -f "$tmp/shift-cmake/libgre-plugin-ShiftLights.json" ]] ||
  fail "pitwall_add_widget(... DESCRIPTION) put no libgre-plugin-ShiftLights.json beside the library"

# ---- the root's own tool: a bare environment, the stock plug-ins of the root, ours added ----------
pitwall() { env -i PATH=/usr/bin:/bin "$root/usr/bin/pitwall" "$@"; }
cd "$tmp"

# The lamps of the scene's two rows: ten from the left at 10800 of 6000..12000 rpm (eight lit: five
# green, three yellow, two off), twelve from both ends at the shift point (all lit, the middle pair
# in the scene's high_color); then the stock Label beside them.
expected_shift="$tmp/shift.expected"
cat >"$expected_shift" <<'EOF'
fill_rect 20 20 58 59 #22c55e
fill_rect 64 20 102 59 #22c55e
fill_rect 108 20 146 59 #22c55e
fill_rect 152 20 190 59 #22c55e
fill_rect 196 20 234 59 #22c55e
fill_rect 240 20 278 59 #facc15
fill_rect 284 20 322 59 #facc15
fill_rect 328 20 366 59 #facc15
fill_rect 372 20 410 59 #262b31
fill_rect 416 20 454 59 #262b31
fill_rect 20 76 51 99 #22c55e
fill_rect 56 76 88 99 #22c55e
fill_rect 93 76 125 99 #22c55e
fill_rect 130 76 161 99 #facc15
fill_rect 166 76 198 99 #facc15
fill_rect 203 76 235 99 #ffff00ff
fill_rect 240 76 271 99 #ffff00ff
fill_rect 276 76 308 99 #facc15
fill_rect 313 76 345 99 #facc15
fill_rect 350 76 381 99 #22c55e
fill_rect 386 76 418 99 #22c55e
fill_rect 423 76 455 99 #22c55e
draw_text "10800 rpm"
EOF
# The lit lamp in orange with its white outline, the unlit one in dark grey.
expected_lamp="$tmp/lamp.expected"
cat >"$expected_lamp" <<'EOF'
fill_rect 10 10 89 69 #ffff8800
stroke_rect 10 10 89 69 #ffffffff
fill_rect 110 10 189 69 #ff202020
stroke_rect 110 10 189 69 #ffffffff
EOF

scenes=(
  # build         scene                          expected
  "shift-cmake    widget/shift-lights.json       $expected_shift"
  "shift-make     widget/shift-lights.json       $expected_shift"
  "lamp-cmake     widget-c/pit-lamp.json         $expected_lamp"
  "lamp-cc        widget-c/pit-lamp.json         $expected_lamp"
)
for row in "${scenes[@]}"; do
  read -r name scene expected <<<"$row"
  pitwall trace "$examples/$scene" --plugins "$tmp/$name" >"$tmp/$name.trace" 2>"$tmp/$name.err" ||
    fail "$name: pitwall trace $scene failed: $(cat "$tmp/$name.err")"
  grep -oE '^(fill_rect|stroke_rect) .*|^draw_text [0-9-]+ [0-9-]+ "[^"]*"' "$tmp/$name.trace" |
    sed -E 's/^draw_text [0-9-]+ [0-9-]+ /draw_text /' >"$tmp/$name.drawn"
  diff -u "$expected" "$tmp/$name.drawn" >&2 || fail "$name: $scene does not draw what it should (diff above)"
  pitwall render "$examples/$scene" --plugins "$tmp/$name" -o "$tmp/$name.png" >/dev/null 2>"$tmp/$name.err" ||
    fail "$name: pitwall render $scene failed: $(cat "$tmp/$name.err")"
  [[ -s "$tmp/$name.png" ]] || fail "$name: render wrote no picture"
  pitwall lint "$examples/$scene" --plugins "$tmp/$name" >"$tmp/$name.lint" 2>&1 ||
    fail "$name: pitwall lint $scene: $(cat "$tmp/$name.lint")"
  grep -qF ": 0 errors, 0 warnings" "$tmp/$name.lint" || fail "$name: lint $scene: $(cat "$tmp/$name.lint")"
done

# The description file at work on the scene: names resolve, ranges and names are checked at the
# value's line and column. Each row: a change to the scene (sed), lint's exit status, what it says.
lint_cases=(
  's/"style": 1,/"style": "center",/|0|shift.json: 0 errors, 0 warnings'
  's/"rpm": 10800/"rpm": 30000/|0|shift.json:6:93: warning: control "fill": "rpm" is 30000, outside 0 to 20000'
  's/"style": 1,/"style": "centre",/|1|shift.json:8:83: error: control "center": "Shift Lights": attribute "style" (4s1) takes an integer or a name, not "centre" (did you mean "center"?)'
)
for row in "${lint_cases[@]}"; do
  IFS='|' read -r change status said <<<"$row"
  sed "$change" "$examples/widget/shift-lights.json" >"$tmp/shift.json"
  cmp -s "$examples/widget/shift-lights.json" "$tmp/shift.json" && fail "the lint case $change changes nothing"
  set +e
  pitwall lint shift.json --plugins "$tmp/shift-cmake" >"$tmp/lint.out" 2>&1
  got=$?
  set -e
  [[ "$got" == "$status" ]] || fail "lint after $change exits $got, not $status: $(cat "$tmp/lint.out")"
  grep -qF "$said" "$tmp/lint.out" || fail "lint after $change does not say $said: $(cat "$tmp/lint.out")"
done
pitwall trace shift.json --plugins "$tmp/shift-cmake" >/dev/null 2>&1 && fail "a scene lint refuses still traces"
sed 's/"style": 1,/"style": "center",/' "$examples/widget/shift-lights.json" >"$tmp/shift.json"
pitwall trace shift.json --plugins "$tmp/shift-cmake" | grep -E '^fill_rect' >"$tmp/named.drawn"
diff -u <(grep '^fill_rect' "$expected_shift") "$tmp/named.drawn" >&2 || fail "\"style\": \"center\" draws otherwise than 1"

# The gallery of the stock plug-ins and ours: it succeeds, and the Shift Lights' section describes
# its attributes from libgre-plugin-ShiftLights.json (help, range and unit).
pitwall gallery --plugins "$tmp/shift-cmake" -o "$tmp/gallery" >"$tmp/gallery.log" 2>&1 ||
  fail "pitwall gallery with the Shift Lights exits $?: $(grep -v '^/' "$tmp/gallery.log" | tail -5)"
[[ -s "$tmp/gallery/ShiftLights.png" ]] || fail "the gallery has no ShiftLights.png"
row="$(grep -F '| `rpm` |' "$tmp/gallery/README.md" || true)"
[[ "$row" == *"Engine speed."*"0 to 20000"*"rpm |" ]] ||
  fail "the gallery does not describe rpm from the description file: ${row:-no row}"
echo "sdk test: passed"
