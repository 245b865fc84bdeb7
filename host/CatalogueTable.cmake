# Writes the stand-in host's built-in copy of the catalogue of host script functions: a C++ table
# of every row's signature, in catalogue order, for the host's resolution and its list of what it
# provides. Run at build time:
#   cmake -DCATALOGUE=<catalogue.txt> -DOUTPUT=<CatalogueRows.cpp> -P CatalogueTable.cmake
#
# The catalogue's format is the stub generator's: one signature a line; blank lines and lines
# starting with '#' are skipped; annotations ("@address ...") follow the signature after white
# space and are not part of it. The signature text is copied exactly.
if(NOT DEFINED CATALOGUE OR NOT DEFINED OUTPUT)
  message(FATAL_ERROR "usage: cmake -DCATALOGUE=<file> -DOUTPUT=<file> -P CatalogueTable.cmake")
endif()

file(READ "${CATALOGUE}" text)
get_filename_component(catalogue_name "${CATALOGUE}" NAME)
# The lines become a CMake list: the characters that lists treat specially are set aside first
# (comments may hold them), and a row holding one of them is refused below.
string(REPLACE "\\" "<backslash>" text "${text}")
string(REPLACE ";" "<semicolon>" text "${text}")
string(REPLACE "[" "<open>" text "${text}")
string(REPLACE "]" "<close>" text "${text}")
string(REPLACE "\r" "" text "${text}")
string(REPLACE "\n" ";" lines "${text}")

set(rows "")
set(count 0)
foreach(line IN LISTS lines)
  string(STRIP "${line}" stripped)
  if(stripped STREQUAL "" OR stripped MATCHES "^#")
    continue()
  endif()
  string(REGEX REPLACE "[ \t]+@.*$" "" signature "${line}")
  # Neither CMake lists nor C++ string literals carry these as they are; no signature has any.
  if(signature MATCHES "[<>\"]")
    message(FATAL_ERROR "${CATALOGUE}: a row the table cannot carry: ${signature}")
  endif()
  string(APPEND rows "    \"${signature}\",\n")
  math(EXPR count "${count} + 1")
endforeach()
if(count EQUAL 0)
  message(FATAL_ERROR "${CATALOGUE}: the catalogue holds no rows")
endif()

set(source "// Generated from ${catalogue_name} by CatalogueTable.cmake: do not edit.
#include \"Catalogue.h\"

namespace StandIn {

const char* const kCatalogueRows[] = {
${rows}};
const std::size_t kCatalogueRowCount = ${count};

}  // namespace StandIn
")
# Unchanged text leaves the file alone, so that nothing recompiles for a comment in the catalogue.
if(EXISTS "${OUTPUT}")
  file(READ "${OUTPUT}" old)
  if(old STREQUAL source)
    return()
  endif()
endif()
file(WRITE "${OUTPUT}" "${source}")
