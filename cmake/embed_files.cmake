# SPDX-License-Identifier: GPL-3.0-or-later
# Writes a C++ source that holds files as byte arrays, found by their file names:
#   cmake -DOUTPUT=<file.cpp> -DHEADER=<include> -DFUNCTION=<name> -DFILES=<a;b;...> -P embed_files.cmake
set(arrays "")
set(table "")
set(index 0)
foreach(file IN LISTS FILES)
    file(READ ${file} hex HEX)
    string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
    string(REGEX REPLACE "(0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,)" "\\1\n" bytes "${bytes}")
    get_filename_component(name ${file} NAME)
    string(APPEND arrays "const std::uint8_t file${index}[] = {\n${bytes}\n};\n")
    string(APPEND table "    {\"${name}\", file${index}},\n")
    math(EXPR index "${index} + 1")
endforeach()
file(WRITE ${OUTPUT}.new "// Made by cmake/embed_files.cmake; do not edit.
#include \"${HEADER}\"

#include <algorithm>
#include <iterator>

namespace {
${arrays}
struct File {
    std::string_view name;
    std::span<const std::uint8_t> bytes;
};
const File files[] = {
${table}};
} // namespace

std::span<const std::uint8_t> ${FUNCTION}(std::string_view fileName)
{
    const auto found = std::find_if(std::begin(files), std::end(files), [&](const File& f) { return f.name == fileName; });
    return found != std::end(files) ? found->bytes : std::span<const std::uint8_t>();
}
")
# Only a changed source is rewritten, so nothing recompiles for nothing.
file(COPY_FILE ${OUTPUT}.new ${OUTPUT} ONLY_IF_DIFFERENT)
file(REMOVE ${OUTPUT}.new)
