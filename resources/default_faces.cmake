# The default faces, FreeMono Bold (OpenType, CFF) and Liberation Sans (TrueType), found where the
# distributions' font packages put them. A studio builds on the RHEL-family system its host runs
# on as often as on Debian, so both families' folders are searched.
#
# include()d by CMakeLists.txt. vexahud_find_default_faces() sets VEXAHUD_VALUE_FONT and
# VEXAHUD_LABEL_FONT (cache entries) unless they are set already, and stops with what to install
# when a face is in none of the folders. CMAKE_FIND_ROOT_PATH re-roots the search.

function(vexahud_find_default_faces)
  set(font_dirs /usr/share/fonts /usr/local/share/fonts)
  find_file(VEXAHUD_VALUE_FONT NAMES FreeMonoBold.otf
    PATHS ${font_dirs}
    PATH_SUFFIXES
      opentype/freefont            # Debian, Ubuntu: fonts-freefont-otf
      gnu-free gnu-free-mono       # RHEL, Rocky: gnu-free-mono-fonts
      gnu-free-mono-fonts freefont # other releases
    NO_DEFAULT_PATH
    DOC "Face for HUD values; must be OpenType with CFF outlines (\"OTTO\")")
  find_file(VEXAHUD_LABEL_FONT NAMES LiberationSans-Regular.ttf
    PATHS ${font_dirs}
    PATH_SUFFIXES
      truetype/liberation2                    # Debian, Ubuntu: fonts-liberation2
      liberation-sans liberation              # RHEL, Rocky 9 and 8: liberation-sans-fonts
      liberation-sans-fonts liberation2       # other releases
    NO_DEFAULT_PATH
    DOC "Face for HUD labels; must be TrueType (00 01 00 00)")

  set(missing "")
  if(NOT VEXAHUD_VALUE_FONT)
    string(APPEND missing
      "\n  FreeMonoBold.otf, the value face: Debian and Ubuntu package fonts-freefont-otf, "
      "RHEL, Rocky and Fedora package gnu-free-mono-fonts")
  endif()
  if(NOT VEXAHUD_LABEL_FONT)
    string(APPEND missing
      "\n  LiberationSans-Regular.ttf, the label face: Debian and Ubuntu package "
      "fonts-liberation2, RHEL, Rocky and Fedora package liberation-sans-fonts")
  endif()
  if(missing)
    message(FATAL_ERROR
      "A default face is not installed:${missing}\n"
      "Install it, or set VEXAHUD_VALUE_FONT (an OpenType face with CFF outlines) and "
      "VEXAHUD_LABEL_FONT (a TrueType face) to the faces your studio holds.")
  endif()
endfunction()
