# The version both programs report, what `cmake --install` puts where, and the
# Debian package cpack builds from it.

include(GNUInstallDirs)

target_compile_definitions(velmora-cli PRIVATE VELMORA_VERSION="${PROJECT_VERSION}")
install(TARGETS velmora-cli RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

if(VELMORA_CORE_ONLY)
  return()
endif()

set(VELMORA_APP_ID org.velmora.Velmora)
target_compile_definitions(velmora PRIVATE VELMORA_VERSION="${PROJECT_VERSION}")
install(TARGETS velmora RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${PROJECT_SOURCE_DIR}/src/app/velmora.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${PROJECT_SOURCE_DIR}/src/app/velmora.svg
  DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
install(FILES ${PROJECT_SOURCE_DIR}/src/app/${VELMORA_APP_ID}.metainfo.xml
  DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)

set(CPACK_PACKAGE_NAME velmora)
set(CPACK_PACKAGE_VENDOR Velmora)
set(CPACK_PACKAGE_CONTACT "Velmora <velmora@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Search and replace text in many text files at once")
# Debian wants the long description in lines of less than 80 characters.
string(CONCAT CPACK_PACKAGE_DESCRIPTION
  "Searches a folder for a text in every file matching a filter, lists the\n"
  "finds per file and replaces them in the chosen files, keeping each file's\n"
  "encoding. Comes with a window (velmora) and a command line program\n"
  "(velmora-cli).")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
# The Qt and C++ libraries come from dpkg-shlibdeps. Qt loads its platform
# plugin at run time, which no library link shows: without it no window opens.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins")
# Qt's own dialog buttons in German.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-translations-l10n")
include(CPack)
