# Turns the workbench page's files into a C++ header, so that `pitwall serve` needs no files
# beside it:  cmake -DOUTPUT=serve_files.h -DFILES="a.html;b.js" -P embed.cmake
set(body "")
set(table "")
set(n 0)
foreach(file IN LISTS FILES)
  get_filename_component(name ${file} NAME)
  get_filename_component(ext ${file} LAST_EXT)
  if(ext STREQUAL ".html")
    set(mime "text/html; charset=utf-8")
  elseif(ext STREQUAL ".js")
    set(mime "text/javascript; charset=utf-8")
  elseif(ext STREQUAL ".css")
    set(mime "text/css; charset=utf-8")
  else()
    set(mime "application/octet-stream")
  endif()
  file(READ ${file} hex HEX)
  string(LENGTH "${hex}" hex_length)
  math(EXPR size "${hex_length} / 2")
  string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
  string(APPEND body "inline constexpr unsigned char serve_file_${n}[] = {${bytes}0x00};\n")
  string(APPEND table "    {\"${name}\", \"${mime}\", serve_file_${n}, ${size}},\n")
  math(EXPR n "${n} + 1")
endforeach()
file(WRITE ${OUTPUT}.tmp "// Generated from tools/pitwall/workbench/page/ by embed.cmake: do not edit.
#pragma once
#include <cstddef>
namespace pitwall::cli {
struct serve_file {
    const char *name;
    const char *mime;
    const unsigned char *data;
    std::size_t size;
};
${body}inline constexpr serve_file serve_files[] = {
${table}};
} // namespace pitwall::cli
")
# Rewritten only when it changed, so that an unchanged page rebuilds nothing.
file(COPY_FILE ${OUTPUT}.tmp ${OUTPUT} ONLY_IF_DIFFERENT)
file(REMOVE ${OUTPUT}.tmp)
