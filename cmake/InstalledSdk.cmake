# The SDK as a host installs it: headers under <dir>/include/fbsdk/, the library
# at <dir>/lib/linux_64/libfbsdk.so. Defines the imported target fbsdk, whose
# headers are system headers (the published ones are not -Wall -Wextra clean),
# and VEXAHUD_SDK_PERMISSIVE when they need -fpermissive to compile.

set(VEXAHUD_SDK_INCLUDE_DIR "${VEXAHUD_SDK_DIR}/include")
set(VEXAHUD_SDK_LIBRARY "${VEXAHUD_SDK_DIR}/lib/linux_64/libfbsdk.so" CACHE FILEPATH
    "The SDK library the plug-in links (default: <VEXAHUD_SDK_DIR>/lib/linux_64/libfbsdk.so)")

if(NOT EXISTS "${VEXAHUD_SDK_INCLUDE_DIR}/fbsdk/fbsdk.h")
  message(FATAL_ERROR
    "VEXAHUD_SDK_DIR is '${VEXAHUD_SDK_DIR}', but ${VEXAHUD_SDK_INCLUDE_DIR}/fbsdk/fbsdk.h does "
    "not exist. Point VEXAHUD_SDK_DIR at the host's OpenRealitySDK folder, for instance "
    "/usr/autodesk/MotionBuilder2023/OpenRealitySDK.")
endif()
if(NOT EXISTS "${VEXAHUD_SDK_LIBRARY}")
  message(FATAL_ERROR
    "The SDK library '${VEXAHUD_SDK_LIBRARY}' does not exist. Set VEXAHUD_SDK_LIBRARY to the "
    "host's libfbsdk.so.")
endif()

add_library(fbsdk SHARED IMPORTED)
set_target_properties(fbsdk PROPERTIES
  IMPORTED_LOCATION "${VEXAHUD_SDK_LIBRARY}"
  INTERFACE_INCLUDE_DIRECTORIES "${VEXAHUD_SDK_INCLUDE_DIR}")

# Some releases' headers call a member of a dependent base without this-> in
# the enum property template, which GCC's two-phase lookup rejects as soon as an
# enum property is read. Only then do the plug-in's sources get -fpermissive.
include(CheckCXXSourceCompiles)
include(CMakePushCheckState)
cmake_push_check_state(RESET)
set(CMAKE_REQUIRED_INCLUDES "${VEXAHUD_SDK_INCLUDE_DIR}")
set(CMAKE_REQUIRED_FLAGS "-std=c++17")
set(CMAKE_REQUIRED_QUIET ON)
set(CMAKE_TRY_COMPILE_TARGET_TYPE STATIC_LIBRARY)
check_cxx_source_compiles([=[
#include <fbsdk/fbsdk.h>
int ReadEnums(FBCamera& pCamera, FBEventConnectionNotify& pEvent) {
  const FBCameraApertureMode lMode = pCamera.ApertureMode;
  const FBConnectionAction lAction = pEvent.Action;
  return static_cast<int>(lMode) + static_cast<int>(lAction);
}
int main() { return 0; }
]=] VEXAHUD_SDK_STRICT_OK)
cmake_pop_check_state()
if(VEXAHUD_SDK_STRICT_OK)
  set(VEXAHUD_SDK_PERMISSIVE OFF)
else()
  message(STATUS "The SDK headers need -fpermissive; the plug-in's sources get it")
  set(VEXAHUD_SDK_PERMISSIVE ON)
endif()
