# The default faces are found in a RHEL system's folders, and their absence stops the configure
# with what to install on each distribution. A search root stands in for each system.
#   cmake -DSOURCE_DIR=<repo> -DWORK=<scratch folder> -P default_faces_test.cmake

if(DEFINED ROOT)
  # The child: one configure's search, under the root given.
  include("${SOURCE_DIR}/resources/default_faces.cmake")
  vexahud_find_default_faces()
  message(STATUS "value face: ${VEXAHUD_VALUE_FONT}")
  message(STATUS "label face: ${VEXAHUD_LABEL_FONT}")
  return()
endif()

function(search root out_code out_text)
  execute_process(
    COMMAND "${CMAKE_COMMAND}" "-DSOURCE_DIR=${SOURCE_DIR}" "-DROOT=${root}"
            "-DCMAKE_FIND_ROOT_PATH=${root}" -DCMAKE_FIND_ROOT_PATH_MODE_INCLUDE=ONLY
            -P "${CMAKE_CURRENT_LIST_FILE}"
    RESULT_VARIABLE code OUTPUT_VARIABLE text ERROR_VARIABLE text)
  set(${out_code} "${code}" PARENT_SCOPE)
  set(${out_text} "${text}" PARENT_SCOPE)
endfunction()

function(fail what text)
  message(FATAL_ERROR "${what}; the configure said:\n${text}")
endfunction()

# RHEL 9: gnu-free-mono-fonts and liberation-sans-fonts.
set(rhel "${WORK}/rhel")
file(REMOVE_RECURSE "${WORK}")
file(WRITE "${rhel}/usr/share/fonts/gnu-free/FreeMonoBold.otf" "OTTO")
file(WRITE "${rhel}/usr/share/fonts/liberation-sans/LiberationSans-Regular.ttf" "face")
search("${rhel}" code text)
if(NOT code EQUAL 0)
  fail("the faces in the RHEL layout were not found" "${text}")
endif()
string(FIND "${text}" "value face: ${rhel}/usr/share/fonts/gnu-free/FreeMonoBold.otf" value_at)
string(FIND "${text}" "label face: ${rhel}/usr/share/fonts/liberation-sans/LiberationSans-Regular.ttf"
       label_at)
if(value_at EQUAL -1 OR label_at EQUAL -1)
  fail("the faces found are not those of the RHEL layout" "${text}")
endif()

# Neither face: every package and both cache variables are named.
file(MAKE_DIRECTORY "${WORK}/bare")
search("${WORK}/bare" code text)
if(code EQUAL 0)
  fail("a configure without faces went on" "${text}")
endif()
foreach(word fonts-freefont-otf gnu-free-mono-fonts fonts-liberation2 liberation-sans-fonts
             VEXAHUD_VALUE_FONT VEXAHUD_LABEL_FONT)
  string(FIND "${text}" "${word}" at)
  if(at EQUAL -1)
    fail("the message does not name ${word}" "${text}")
  endif()
endforeach()
