# SPDX-License-Identifier: GPL-3.0-or-later
# Installing Ostrel: the program in bin/, its device libraries in
# lib/ostrel/ (the simulated counter as libPexlar.so, the adapters for real
# counters in lib/ostrel/adapters/), a menu entry with its icon and the
# documentation. `cpack` (or the `package` target) makes a Debian package of
# the same files.
include(GNUInstallDirs)

set(OSTREL_INSTALL_LIBDIR "${CMAKE_INSTALL_LIBDIR}/ostrel")
set(OSTREL_INSTALL_DOCDIR "${CMAKE_INSTALL_DATADIR}/doc/ostrel")

if(OSTREL_QT AND UNIX AND NOT APPLE)
  # With no libPexlar.so beside it, the program asks the dynamic loader for
  # it by name; the run path points that search at its own library folder.
  # The build tree gets the same run path: one that CMake rewrites at
  # install time is padded with empty entries, and the loader searches the
  # current folder for each of them.
  file(RELATIVE_PATH ostrel_bin_to_libs
       "${CMAKE_INSTALL_FULL_BINDIR}" "${CMAKE_INSTALL_FULL_LIBDIR}/ostrel")
  set_target_properties(ostrel ostrel-headless PROPERTIES
                        INSTALL_RPATH "$ORIGIN/${ostrel_bin_to_libs}" BUILD_WITH_INSTALL_RPATH ON)
endif()
if(OSTREL_QT)
  # `ostrel --headless` runs ostrel-headless from its own folder.
  install(TARGETS ostrel ostrel-headless RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
endif()

# On Windows the program loads Pexlar.dll from its own folder only.
install(TARGETS Pexlar
        LIBRARY DESTINATION ${OSTREL_INSTALL_LIBDIR}
        RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

# On Windows the device host goes where the program of the other word size
# looks for it: a 32-bit build's into bin\x86\, beside the 64-bit ostrel.exe
# (`cmake --install build-win32 --component DeviceHost` installs it alone).
if(WIN32)
  if(CMAKE_SIZEOF_VOID_P EQUAL 4)
    set(ostrel_device_host_folder x86)
  else()
    set(ostrel_device_host_folder x64)
  endif()
  install(TARGETS ostrel-device-host
          RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR}/${ostrel_device_host_folder}
          COMPONENT DeviceHost)
endif()

# The adapters that adapters/CMakeLists.txt builds.
if(OSTREL_ADAPTER_TARGETS)
  install(TARGETS ${OSTREL_ADAPTER_TARGETS}
          LIBRARY DESTINATION ${OSTREL_INSTALL_LIBDIR}/adapters
          RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR}/adapters)
endif()

if(OSTREL_QT AND UNIX AND NOT APPLE)
  # The logger without a window as a systemd user service, and its template
  # for several counters, one profile an instance.
  foreach(unit ostrel-headless.service ostrel-headless@.service)
    configure_file(${PROJECT_SOURCE_DIR}/packaging/${unit}.in
                   ${CMAKE_BINARY_DIR}/packaging/${unit} @ONLY)
    install(FILES ${CMAKE_BINARY_DIR}/packaging/${unit} DESTINATION lib/systemd/user)
  endforeach()
endif()
if(UNIX AND NOT APPLE)
  # The menu entry, the icon and the metainfo bear the AppStream id, by
  # which software centres find each of them.
  # The menu entry's actions start the program with each counter family
  # (cmake/CounterFamilies.cmake).
  set(ostrel_app_id io.github.ostrel.ostrel)
  configure_file(${PROJECT_SOURCE_DIR}/packaging/${ostrel_app_id}.desktop.in
                 ${CMAKE_BINARY_DIR}/packaging/${ostrel_app_id}.desktop @ONLY)
  install(FILES ${CMAKE_BINARY_DIR}/packaging/${ostrel_app_id}.desktop
          DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
  install(FILES ${PROJECT_SOURCE_DIR}/packaging/${ostrel_app_id}.svg
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
  install(FILES ${PROJECT_SOURCE_DIR}/packaging/${ostrel_app_id}.metainfo.xml
          DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
  install(FILES ${PROJECT_SOURCE_DIR}/packaging/copyright DESTINATION ${OSTREL_INSTALL_DOCDIR})
  install(FILES ${PROJECT_SOURCE_DIR}/packaging/ostrel.lintian-overrides
          DESTINATION ${CMAKE_INSTALL_DATADIR}/lintian/overrides RENAME ostrel)
  # The manual page and the changelog go in compressed as Debian wants them:
  # gzip at its best, with neither the file's name nor its time inside, so
  # that the same sources make the same package.
  find_program(OSTREL_GZIP gzip REQUIRED)
  # Made now: Ninja makes an output's folder itself, Make does not.
  file(MAKE_DIRECTORY ${CMAKE_BINARY_DIR}/packaging)
  set(ostrel_gzipped)
  foreach(pair "ostrel.1;ostrel.1.gz" "ostrel-headless.1;ostrel-headless.1.gz"
               "changelog;changelog.Debian.gz")
    list(GET pair 0 source)
    list(GET pair 1 gzipped)
    add_custom_command(
      OUTPUT ${CMAKE_BINARY_DIR}/packaging/${gzipped}
      COMMAND sh -c "\"$0\" -9n <\"$1\" >\"$2\"" ${OSTREL_GZIP}
              ${PROJECT_SOURCE_DIR}/packaging/${source} ${CMAKE_BINARY_DIR}/packaging/${gzipped}
      DEPENDS ${PROJECT_SOURCE_DIR}/packaging/${source}
      VERBATIM)
    list(APPEND ostrel_gzipped ${CMAKE_BINARY_DIR}/packaging/${gzipped})
  endforeach()
  add_custom_target(ostrel_gzipped_docs ALL DEPENDS ${ostrel_gzipped})
  install(FILES ${CMAKE_BINARY_DIR}/packaging/ostrel.1.gz
                ${CMAKE_BINARY_DIR}/packaging/ostrel-headless.1.gz
          DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  install(FILES ${CMAKE_BINARY_DIR}/packaging/changelog.Debian.gz
          DESTINATION ${OSTREL_INSTALL_DOCDIR})
endif()
install(FILES ${PROJECT_SOURCE_DIR}/README.md DESTINATION ${OSTREL_INSTALL_DOCDIR})
foreach(part sim adapters)
  install(FILES ${PROJECT_SOURCE_DIR}/${part}/README.md
          DESTINATION ${OSTREL_INSTALL_DOCDIR} RENAME README.${part}.md)
endforeach()

# The Debian package.
set(OSTREL_PACKAGE_CONTACT "Ostrel maintainers <maintainers@ostrel.invalid>"
    CACHE STRING "Maintainer named in the packages")
set(CPACK_PACKAGE_NAME ostrel)
set(CPACK_PACKAGE_VENDOR Ostrel)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "${OSTREL_PACKAGE_CONTACT}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Radiation counter logger")
# One line of the control file per line here, each within 80 columns.
string(CONCAT CPACK_PACKAGE_DESCRIPTION
  "Ostrel logs a radiation counter: one record per clock minute, a live chart\n"
  "of counts per minute and dose rate, and CSV logs. It talks to the counter\n"
  "through a device library; a simulated counter and adapters for GQ GMC and\n"
  "line-based serial counters are included.")
if(NOT CPACK_GENERATOR)
  set(CPACK_GENERATOR DEB)
endif()
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
# The first packaging of this version; packaging/changelog names it too.
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
# The binaries go in stripped; their debugging symbols go into
# ostrel-dbgsym, found by gdb through their build ids.
set(CPACK_DEBIAN_DEBUGINFO_PACKAGE ON)
set(CPACK_POST_BUILD_SCRIPTS ${PROJECT_SOURCE_DIR}/cmake/DebFixups.cmake)
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-ipafont-gothic | fonts-noto-cjk")
# libcurl (the maps) and libmosquitto (MQTT) are loaded at run time, only
# when a section of the settings turns their output on, so no binary links
# them and dpkg-shlibdeps cannot find them: named here, at the versions that
# have every function the program binds (curl_multi_wakeup came with 7.68).
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libcurl4 (>= 7.68.0), libmosquitto1 (>= 1.0)")
find_program(OSTREL_DPKG_SHLIBDEPS dpkg-shlibdeps)
if(OSTREL_DPKG_SHLIBDEPS)
  # Its findings are added to the two above.
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
else()
  string(APPEND CPACK_DEBIAN_PACKAGE_DEPENDS
         ", libqt6widgets6, libqt6printsupport6, libqt6svg6, libqcustomplot2.1-qt6")
endif()
include(CPack)
