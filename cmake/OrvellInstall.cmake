# Installation (cmake --install) in the places the Filesystem Hierarchy Standard and the
# desktop expect, and the Debian package made from it (cpack -G DEB, or ./dev package).
#
#   PREFIX/bin/orvell3d, orvell3d-cli
#   PREFIX/share/orvell3d/languages          translations and flags (found from bin/../share)
#   PREFIX/share/applications/orvell3d.desktop
#   PREFIX/share/icons/hicolor/*/{apps,mimetypes}/
#   PREFIX/share/mime/packages/orvell3d.xml  the .lpk and .o3d file types
#   PREFIX/share/man/man1/orvell3d{,-cli}.1.gz
#   PREFIX/share/bash-completion/completions/orvell3d-cli
#   PREFIX/share/doc/orvell3d/copyright, changelog.gz

set(ORVELL_DATA_DIR share/orvell3d)
set(ORVELL_DOC_DIR share/doc/orvell3d)
set(ORVELL_RES ${CMAKE_SOURCE_DIR}/resources)
set(ORVELL_GEN ${CMAKE_BINARY_DIR}/install-files)
file(MAKE_DIRECTORY ${ORVELL_GEN})

install(TARGETS orvell3d-cli RUNTIME DESTINATION bin)
if(ORVELL_BUILD_GUI)
  install(TARGETS orvell3d RUNTIME DESTINATION bin)
  install(DIRECTORY ${CMAKE_BINARY_DIR}/src/app/languages/ DESTINATION ${ORVELL_DATA_DIR}/languages
          FILES_MATCHING PATTERN "*.qm" PATTERN "*.png")
  install(FILES ${ORVELL_RES}/desktop/orvell3d.desktop DESTINATION share/applications)
endif()

# Icons: the program's, and one per file type (named after the type, as the desktop looks them up).
foreach(size 16 24 32 48 64 128 256)
  install(FILES ${ORVELL_RES}/icons/${size}x${size}/orvell3d.png DESTINATION share/icons/hicolor/${size}x${size}/apps)
  install(FILES ${ORVELL_RES}/icons/${size}x${size}/application-x-orvell3d-package.png
                ${ORVELL_RES}/icons/${size}x${size}/application-x-orvell3d-scene.png
          DESTINATION share/icons/hicolor/${size}x${size}/mimetypes)
endforeach()
install(FILES ${ORVELL_RES}/icons/orvell3d.svg DESTINATION share/icons/hicolor/scalable/apps)
install(FILES ${ORVELL_RES}/icons/application-x-orvell3d-package.svg
              ${ORVELL_RES}/icons/application-x-orvell3d-scene.svg
        DESTINATION share/icons/hicolor/scalable/mimetypes)
install(FILES ${ORVELL_RES}/desktop/orvell3d-mime.xml DESTINATION share/mime/packages RENAME orvell3d.xml)

# Manual pages and shell completion are made from the programs' own --help, so new commands
# and options appear in them without anyone editing a second copy.
find_program(HELP2MAN_PROGRAM help2man)
find_program(GZIP_PROGRAM gzip)
find_package(Python3 COMPONENTS Interpreter)
set(ORVELL_CLI_PROGRAM $<TARGET_FILE:orvell3d-cli>)
set(ORVELL_INSTALL_FILES "")
# The programs run here only to print their help; in a sanitizer build a leak report at exit
# would fail the build for nothing.
set(ORVELL_HELP_ENV QT_QPA_PLATFORM=offscreen ORVELL3D_DATA_DIR=${ORVELL_GEN}/data ASAN_OPTIONS=detect_leaks=0)
if(HELP2MAN_PROGRAM AND GZIP_PROGRAM AND Python3_FOUND)
  set(cli_man ${ORVELL_GEN}/orvell3d-cli.1)
  add_custom_command(
    OUTPUT ${cli_man}.gz
    COMMAND ${CMAKE_COMMAND} -E env ${ORVELL_HELP_ENV}
            ${Python3_EXECUTABLE} ${CMAKE_SOURCE_DIR}/cmake/cli_help_sections.py ${ORVELL_CLI_PROGRAM}
            ${ORVELL_GEN}/orvell3d-cli-commands.h2m
    COMMAND ${CMAKE_COMMAND} -E env ${ORVELL_HELP_ENV}
            ${HELP2MAN_PROGRAM} --no-info --section=1 --source=Orvell3D
            "--name=slice models for resin 3D printers without a display"
            "--version-string=orvell3d-cli ${PROJECT_VERSION}"
            --include=${ORVELL_GEN}/orvell3d-cli-commands.h2m --include=${ORVELL_RES}/man/orvell3d-cli.h2m
            --output=${cli_man} ${ORVELL_CLI_PROGRAM}
    COMMAND ${GZIP_PROGRAM} -n -9 -f ${cli_man}
    DEPENDS orvell3d-cli ${CMAKE_SOURCE_DIR}/cmake/cli_help.py ${CMAKE_SOURCE_DIR}/cmake/cli_help_sections.py
            ${ORVELL_RES}/man/orvell3d-cli.h2m
    COMMENT "Writing the manual page of orvell3d-cli"
    VERBATIM)
  list(APPEND ORVELL_INSTALL_FILES ${cli_man}.gz)
  install(FILES ${cli_man}.gz DESTINATION share/man/man1)
  if(ORVELL_BUILD_GUI)
    set(gui_man ${ORVELL_GEN}/orvell3d.1)
    add_custom_command(
      OUTPUT ${gui_man}.gz
      COMMAND ${CMAKE_COMMAND} -E env ${ORVELL_HELP_ENV}
              ${HELP2MAN_PROGRAM} --no-info --section=1 --source=Orvell3D
              "--name=desktop slicer for resin 3D printers" "--version-string=orvell3d ${PROJECT_VERSION}"
              --include=${ORVELL_RES}/man/orvell3d.h2m
              --output=${gui_man} $<TARGET_FILE:orvell3d>
      COMMAND ${GZIP_PROGRAM} -n -9 -f ${gui_man}
      DEPENDS orvell3d ${ORVELL_RES}/man/orvell3d.h2m
      COMMENT "Writing the manual page of orvell3d"
      VERBATIM)
    list(APPEND ORVELL_INSTALL_FILES ${gui_man}.gz)
    install(FILES ${gui_man}.gz DESTINATION share/man/man1)
  endif()
else()
  message(STATUS "help2man, gzip or Python 3 missing: no manual pages")
endif()

if(Python3_FOUND)
  set(completion ${ORVELL_GEN}/orvell3d-cli.bash)
  add_custom_command(
    OUTPUT ${completion}
    COMMAND ${CMAKE_COMMAND} -E env ${ORVELL_HELP_ENV}
            ${Python3_EXECUTABLE} ${CMAKE_SOURCE_DIR}/cmake/bash_completion.py ${ORVELL_CLI_PROGRAM} ${completion}
    DEPENDS orvell3d-cli ${CMAKE_SOURCE_DIR}/cmake/cli_help.py ${CMAKE_SOURCE_DIR}/cmake/bash_completion.py
    COMMENT "Writing the bash completion of orvell3d-cli"
    VERBATIM)
  list(APPEND ORVELL_INSTALL_FILES ${completion})
  install(FILES ${completion} DESTINATION share/bash-completion/completions RENAME orvell3d-cli)
endif()

# Debian wants its own copyright file and a compressed change log in every package's doc folder.
string(TIMESTAMP ORVELL_BUILD_DATE "%a, %d %b %Y %H:%M:%S +0000" UTC)
configure_file(${ORVELL_RES}/desktop/changelog.in ${ORVELL_GEN}/changelog @ONLY)
add_custom_command(
  OUTPUT ${ORVELL_GEN}/changelog.gz
  COMMAND ${GZIP_PROGRAM} -n -9 -c ${ORVELL_GEN}/changelog > ${ORVELL_GEN}/changelog.gz
  DEPENDS ${ORVELL_GEN}/changelog
  VERBATIM)
list(APPEND ORVELL_INSTALL_FILES ${ORVELL_GEN}/changelog.gz)
install(FILES ${ORVELL_RES}/desktop/copyright ${ORVELL_GEN}/changelog.gz DESTINATION ${ORVELL_DOC_DIR})

add_custom_target(orvell_install_files ALL DEPENDS ${ORVELL_INSTALL_FILES})

# The Debian package.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME orvell3d)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR Orvell3D)
set(CPACK_PACKAGE_CONTACT "Orvell3D developers <dev@orvell3d.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "desktop slicer for resin 3D printers")
set(CPACK_PACKAGE_DESCRIPTION
    "Orvell3D prepares models for resin printers that cure a whole layer at once.\nIt imports STL, OBJ and 3MF models, places them on the build plate, adds\nsupports and bases, slices the scene on the graphics card or the processor\ninto one image per layer and writes a password-protected print package\n(.lpk) with previews and the exposure schedule.\n\nThe package holds the desktop program (orvell3d) and the headless one\n(orvell3d-cli) for scripts and print farms.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The packages are packed by the archive tool, started as a child process.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "p7zip-full")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)
include(CPack)
