# The version resource of setup.exe, made from the payload's version text, so that the file's
# properties on Windows name the product and its version.
#
# kz_version_resource(VERSION_FILE OUTPUT_RC): writes OUTPUT_RC (only when its text changes)
# from the first line of VERSION_FILE (Windows-1252). A dotted number of one to four parts
# ("4.2.1") fills the numeric FILEVERSION and PRODUCTVERSION; any other text leaves them 0.
# The text itself always goes into the FileVersion and ProductVersion strings.
function(kz_version_resource version_file output_rc)
  file(READ "${version_file}" text)
  string(FIND "${text}" "\n" end)
  if(NOT end EQUAL -1)
    string(SUBSTRING "${text}" 0 ${end} text)
  endif()
  # Control characters have no place in a property sheet.
  string(ASCII 1 first_control)
  string(ASCII 31 last_control)
  string(REGEX REPLACE "[${first_control}-${last_control}]" " " text "${text}")
  string(STRIP "${text}" text)

  set(numeric 0,0,0,0)
  if(text MATCHES "^[0-9]+(\\.[0-9]+)?(\\.[0-9]+)?(\\.[0-9]+)?$")
    string(REPLACE "." ";" parts "${text}")
    set(fields)
    foreach(part IN LISTS parts)
      string(REGEX REPLACE "^0+([0-9])" "\\1" part "${part}")
      string(LENGTH "${part}" digits)
      if(digits GREATER 5 OR part GREATER 65535)
        set(fields)
        break()
      endif()
      list(APPEND fields ${part})
    endforeach()
    if(fields)
      list(LENGTH fields count)
      while(count LESS 4)
        list(APPEND fields 0)
        math(EXPR count "${count} + 1")
      endwhile()
      string(REPLACE ";" "," numeric "${fields}")
    endif()
  endif()

  # An .rc string doubles its quotes; windres reads backslashes as escapes.
  string(REPLACE "\\" "\\\\" quoted "${text}")
  string(REPLACE "\"" "\"\"" quoted "${quoted}")

  set(rc "// Written by kz_version_resource() from ${version_file}.
#pragma code_page(1252)
#include <winver.h>

VS_VERSION_INFO VERSIONINFO
FILEVERSION ${numeric}
PRODUCTVERSION ${numeric}
FILEFLAGSMASK VS_FFI_FILEFLAGSMASK
FILEFLAGS 0
FILEOS VOS_NT_WINDOWS32
FILETYPE VFT_APP
FILESUBTYPE 0
BEGIN
    BLOCK \"StringFileInfo\"
    BEGIN
        BLOCK \"040904B0\"
        BEGIN
            VALUE \"CompanyName\", \"Kaze Mar\"
            VALUE \"FileDescription\", \"Kaze Mar Orlix Player Setup\"
            VALUE \"FileVersion\", \"${quoted}\"
            VALUE \"InternalName\", \"setup\"
            VALUE \"LegalCopyright\", \"Copyright (c) Kaze Mar\"
            VALUE \"OriginalFilename\", \"setup.exe\"
            VALUE \"ProductName\", \"Kaze Mar Orlix Player\"
            VALUE \"ProductVersion\", \"${quoted}\"
        END
    END
    BLOCK \"VarFileInfo\"
    BEGIN
        VALUE \"Translation\", 0x409, 1200
    END
END
")
  file(WRITE "${output_rc}.new" "${rc}")
  configure_file("${output_rc}.new" "${output_rc}" COPYONLY)
  file(REMOVE "${output_rc}.new")
endfunction()
