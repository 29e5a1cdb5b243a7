# Packs the install archive: every file of the RESOURCES list, then every file of the FILES
# list. The setup carries both lists whole, but the archive holds each target once (kzpack
# refuses a second entry of the same name): a FILES line whose target the RESOURCES list
# packed already is left out of the packing, and the setup finds that entry by its name. Such
# a line must name the same source, or the installed file would not be the one listed.
#
#   cmake -DKZPACK=... -DROOT=... -DRESOURCES_LIST=... -DFILES_LIST=... -DPACK_LIST=...
#         -DARCHIVE=... -P PackArchive.cmake
#
# PACK_LIST receives the FILES lines that are packed, byte for byte, each ended by CR LF.
cmake_minimum_required(VERSION 3.16)
include(${CMAKE_CURRENT_LIST_DIR}/FileList.cmake)

foreach(var KZPACK ROOT RESOURCES_LIST FILES_LIST PACK_LIST ARCHIVE)
  if(NOT DEFINED ${var} OR "${${var}}" STREQUAL "")
    message(FATAL_ERROR "PackArchive.cmake needs -D${var}=...")
  endif()
endforeach()

# Targets of the RESOURCES list, upper-cased (Windows names ignore case), as one text with a
# line feed around each, and the source of each.
set(packed "\n")
file(READ "${RESOURCES_LIST}" content)
set(index 0)
while(NOT content STREQUAL "")
  string(FIND "${content}" "\n" end)
  if(end EQUAL -1)
    set(line "${content}")
    set(content "")
  else()
    string(SUBSTRING "${content}" 0 ${end} line)
    math(EXPR next "${end} + 1")
    string(SUBSTRING "${content}" ${next} -1 content)
  endif()
  string(REGEX REPLACE "\r$" "" line "${line}")
  if(line STREQUAL "")
    continue()
  endif()
  kz_payload_parse_line("${line}" source target)
  string(TOUPPER "${target}" folded)
  string(REPLACE "\\" "/" source "${source}")
  string(APPEND packed "${folded}\n")
  set(source_${index} "${source}")
  math(EXPR index "${index} + 1")
endwhile()

set(kept "")
file(READ "${FILES_LIST}" content)
while(NOT content STREQUAL "")
  string(FIND "${content}" "\n" end)
  if(end EQUAL -1)
    set(line "${content}")
    set(content "")
  else()
    string(SUBSTRING "${content}" 0 ${end} line)
    math(EXPR next "${end} + 1")
    string(SUBSTRING "${content}" ${next} -1 content)
  endif()
  string(REGEX REPLACE "\r$" "" line "${line}")
  if(line STREQUAL "")
    continue()
  endif()
  kz_payload_parse_line("${line}" source target)
  string(TOUPPER "${target}" folded)
  string(FIND "${packed}" "\n${folded}\n" at)
  if(at EQUAL -1)
    string(APPEND kept "${line}\r\n")
    continue()
  endif()
  # Which RESOURCES line it was: the number of targets before the match.
  string(SUBSTRING "${packed}" 0 ${at} before)
  string(REGEX MATCHALL "\n" breaks "${before}")
  list(LENGTH breaks position)
  string(REPLACE "\\" "/" source "${source}")
  set(expected "${source_${position}}")
  if(NOT "${source}" STREQUAL "${expected}")
    message(FATAL_ERROR "${FILES_LIST}: \"${line}\" names the target of a RESOURCES line with another "
                        "source (${expected}); the archive can hold only one of them")
  endif()
endwhile()

set(lists "${RESOURCES_LIST}")
if(NOT kept STREQUAL "")
  list(APPEND lists "${PACK_LIST}")
endif()
file(WRITE "${PACK_LIST}" "${kept}")

execute_process(COMMAND "${KZPACK}" create -C "${ROOT}" -o "${ARCHIVE}" ${lists} RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  file(REMOVE "${ARCHIVE}")
  message(FATAL_ERROR "kzpack could not pack ${ARCHIVE}")
endif()
execute_process(COMMAND "${KZPACK}" verify "${ARCHIVE}" RESULT_VARIABLE result OUTPUT_QUIET)
if(NOT result EQUAL 0)
  file(REMOVE "${ARCHIVE}")
  message(FATAL_ERROR "kzpack verify rejects ${ARCHIVE}")
endif()
