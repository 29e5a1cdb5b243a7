# Packs the install archive: every file of the RESOURCES list, then every file of the FILES
# list. The setup carries both lists whole, but the archive holds each target once (kzpack
# refuses a second entry of the same name): a FILES line whose target is exactly that of a
# RESOURCES line is left out of the packing, and the setup finds that entry by its name. Such
# a line must name the same source, or the installed file would not be the one listed. The
# setup looks entries up by exact name, so a FILES target that differs from a RESOURCES target
# only in case is refused: left out, it would be missing; packed, the two would be one file on
# a case-insensitive file system. Every other clash is kzpack's to refuse.
#
#   cmake -DKZPACK=... [-DKZPACK_OPTIONS=--best] -DROOT=... -DRESOURCES_LIST=... -DFILES_LIST=...
#         -DPACK_LIST=... -DARCHIVE=... -P PackArchive.cmake
#
# PACK_LIST receives the FILES lines that are packed, byte for byte, each ended by CR LF; a
# line left out becomes an empty line, so that kzpack's line numbers are those of FILES_LIST.
cmake_minimum_required(VERSION 3.16)
include(${CMAKE_CURRENT_LIST_DIR}/FileList.cmake)

foreach(var KZPACK ROOT RESOURCES_LIST FILES_LIST PACK_LIST ARCHIVE)
  if(NOT DEFINED ${var} OR "${${var}}" STREQUAL "")
    message(FATAL_ERROR "PackArchive.cmake needs -D${var}=...")
  endif()
endforeach()

# Windows-1252 letters and their capitals, as Windows compares file names.
set(kz_fold_pairs 154 138 156 140 158 142 255 159)
foreach(code RANGE 224 254)
  if(NOT code EQUAL 247)
    math(EXPR upper "${code} - 32")
    list(APPEND kz_fold_pairs ${code} ${upper})
  endif()
endforeach()

# kz_fold(TEXT OUT): TEXT with every letter in capitals.
function(kz_fold text out)
  string(TOUPPER "${text}" text)
  set(pairs ${kz_fold_pairs})
  while(pairs)
    list(POP_FRONT pairs small capital)
    string(ASCII ${small} from)
    string(ASCII ${capital} to)
    string(REPLACE "${from}" "${to}" text "${text}")
  endwhile()
  set(${out} "${text}" PARENT_SCOPE)
endfunction()

kz_read_lines("${RESOURCES_LIST}" res)
set(res_last -1)
if(res_count GREATER 0)
  math(EXPR res_last "${res_count} - 1")
endif()
foreach(i RANGE ${res_last})
  if(i LESS 0)
    break()
  endif()
  kz_payload_parse_line("${res_${i}_line}" source target)
  string(REPLACE "\\" "/" source "${source}")
  set(res_${i}_source "${source}")
  set(res_${i}_target "${target}")
  kz_fold("${target}" folded)
  set(res_${i}_folded "${folded}")
endforeach()

kz_read_lines("${FILES_LIST}" files)
set(kept "")
set(packed 0)
set(written 0)
foreach(f RANGE ${files_count})
  if(f EQUAL files_count)
    break()
  endif()
  set(line "${files_${f}_line}")
  set(number ${files_${f}_number})
  # Empty lines keep kzpack's line numbers those of the FILES list.
  math(EXPR gap "${number} - ${written} - 1")
  foreach(blank RANGE ${gap})
    if(blank GREATER 0)
      string(APPEND kept "\r\n")
    endif()
  endforeach()
  set(written ${number})
  kz_payload_parse_line("${line}" source target)
  string(REPLACE "\\" "/" source "${source}")
  kz_fold("${target}" folded)
  set(exact -1)
  set(clash -1)
  foreach(i RANGE ${res_last})
    if(i LESS 0)
      break()
    endif()
    if("${target}" STREQUAL "${res_${i}_target}")
      set(exact ${i})
      break()
    elseif(clash EQUAL -1 AND "${folded}" STREQUAL "${res_${i}_folded}")
      set(clash ${i})
    endif()
  endforeach()
  if(NOT exact EQUAL -1)
    if(NOT "${source}" STREQUAL "${res_${exact}_source}")
      string(CONCAT refusal "${FILES_LIST}:${number}: \"${line}\" names the target of "
                            "${RESOURCES_LIST}:${res_${exact}_number} (\"${res_${exact}_line}\") with another "
                            "source; the archive can hold only one of them")
      break()
    endif()
    string(APPEND kept "\r\n")
  elseif(NOT clash EQUAL -1)
    string(CONCAT refusal "${FILES_LIST}:${number}: the target of \"${line}\" differs only in case from that of "
                          "${RESOURCES_LIST}:${res_${clash}_number} (\"${res_${clash}_line}\"): the setup looks "
                          "entries up by exact name, and Windows would take both for one file; write the "
                          "target as the RESOURCES line does")
    break()
  else()
    string(APPEND kept "${line}\r\n")
    math(EXPR packed "${packed} + 1")
  endif()
endforeach()

# The reason on one line, as kzpack gives its own.
if(DEFINED refusal)
  message("${refusal}")
  message(FATAL_ERROR "the lists cannot be packed")
endif()

set(lists "${RESOURCES_LIST}")
if(packed GREATER 0)
  list(APPEND lists "${PACK_LIST}")
endif()
file(WRITE "${PACK_LIST}" "${kept}")

# kzpack names the lines of the packing list: they are those of the FILES list.
execute_process(COMMAND "${KZPACK}" create ${KZPACK_OPTIONS} -C "${ROOT}" -o "${ARCHIVE}" ${lists} RESULT_VARIABLE result
                ERROR_VARIABLE errors)
string(STRIP "${errors}" errors)
if(NOT errors STREQUAL "")
  string(REPLACE "${PACK_LIST}:" "${FILES_LIST}:" errors "${errors}")
  message("${errors}")
endif()
if(NOT result EQUAL 0)
  file(REMOVE "${ARCHIVE}")
  message(FATAL_ERROR "kzpack could not pack ${ARCHIVE}")
endif()
execute_process(COMMAND "${KZPACK}" verify "${ARCHIVE}" RESULT_VARIABLE result OUTPUT_QUIET)
if(NOT result EQUAL 0)
  file(REMOVE "${ARCHIVE}")
  message(FATAL_ERROR "kzpack verify rejects ${ARCHIVE}")
endif()
