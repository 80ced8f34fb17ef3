# Checks the first four bytes of a font file. FreeType picks the outline driver from them, and the
# bundle aliases (.otf, .ttf) promise one format each, so a wrong file is refused early.
#
# include()d by CMakeLists.txt at configure time; run as a script after each face is built:
#   cmake -DFONT=<file> -DKIND=OTTO|TRUETYPE -DWHAT=<name for messages> -P font_signature.cmake

# Sets <out_var> to "" when <file> carries the signature of <kind>, else to the reason it does not.
function(vexahud_font_signature_problem out_var file kind)
  if(kind STREQUAL "OTTO")
    set(expected_hex "4f54544f")
    set(expected "an OpenType font with CFF outlines (first 4 bytes \"OTTO\")")
  elseif(kind STREQUAL "TRUETYPE")
    set(expected_hex "00010000")
    set(expected "a TrueType font (first 4 bytes 00 01 00 00)")
  else()
    message(FATAL_ERROR "vexahud_font_signature_problem: unknown font kind '${kind}'")
  endif()

  if(file STREQUAL "")
    set(${out_var} "is empty; expected the path of ${expected}" PARENT_SCOPE)
  elseif(NOT EXISTS "${file}" OR IS_DIRECTORY "${file}")
    set(${out_var} "'${file}' does not exist or is not a file; expected ${expected}" PARENT_SCOPE)
  else()
    file(READ "${file}" head LIMIT 4 HEX)
    if(head STREQUAL expected_hex)
      set(${out_var} "" PARENT_SCOPE)
    else()
      string(REGEX REPLACE "(..)" "\\1 " bytes "${head}")
      string(STRIP "${bytes}" bytes)
      if(bytes STREQUAL "")
        set(bytes "none, the file is empty")
      endif()
      set(${out_var} "'${file}' is not ${expected}; its first bytes are: ${bytes}" PARENT_SCOPE)
    endif()
  endif()
endfunction()

if(CMAKE_SCRIPT_MODE_FILE STREQUAL CMAKE_CURRENT_LIST_FILE)
  vexahud_font_signature_problem(problem "${FONT}" "${KIND}")
  if(problem)
    message(FATAL_ERROR "${WHAT}: ${problem}")
  endif()
endif()
