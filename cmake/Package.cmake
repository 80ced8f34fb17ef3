# Installing and packaging the plug-in.
#   cmake --install <build> [--prefix P]   puts the plug-in into P/${VEXAHUD_PLUGIN_INSTALL_DIR}
#   cmake --build <build> --target package  writes vexahud-<version>-linux-x86_64-qt<N>.tar.gz,
#                                            the library beside a short INSTALL text
# The stand-in SDK has its own component, "sdk", installed only when asked for.

install(TARGETS vexahudelement LIBRARY DESTINATION "${VEXAHUD_PLUGIN_INSTALL_DIR}"
        COMPONENT plugin)

install(TARGETS vexahudelement LIBRARY DESTINATION . COMPONENT package EXCLUDE_FROM_ALL)
install(FILES "${PROJECT_SOURCE_DIR}/docs/INSTALL.txt" DESTINATION . RENAME INSTALL
        COMPONENT package EXCLUDE_FROM_ALL)

set(CPACK_GENERATOR TGZ)
set(CPACK_PACKAGE_NAME vexahud)
set(CPACK_PACKAGE_VENDOR "Vexa")
set(CPACK_PACKAGE_VERSION "${PROJECT_VERSION}")
set(CPACK_PACKAGE_FILE_NAME "vexahud-${PROJECT_VERSION}-linux-x86_64-qt${VEXAHUD_QT_MAJOR}")
set(CPACK_INSTALL_CMAKE_PROJECTS "${CMAKE_BINARY_DIR};vexahud;package;/")
set(CPACK_PACKAGE_DIRECTORY "${CMAKE_BINARY_DIR}")
include(CPack)
