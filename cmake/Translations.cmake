# SPDX-License-Identifier: GPL-3.0-or-later
# The translations of the program's texts (i18n/ostrel_<language>.ts, kept
# up to date by scripts/translations.sh) made into .qm files by Qt's
# lrelease: beside the programs in the build (bin/translations/), installed
# into share/ostrel/translations/ (translations\ beside ostrel.exe on
# Windows), where the program looks for them at start-up.
# Qt 6's own, from its binaries' folder: a bare lrelease on the path may be
# an older Qt's.
find_program(OSTREL_LRELEASE lrelease HINTS "${QT6_INSTALL_PREFIX}/${QT6_INSTALL_BINS}"
             /usr/lib/qt6/bin NO_DEFAULT_PATH)
if(NOT OSTREL_LRELEASE)
  message(FATAL_ERROR "Qt 6's lrelease is missing (Debian: qt6-l10n-tools)")
endif()
file(GLOB ostrel_ts_files CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/i18n/ostrel_*.ts)
# Made now: Ninja makes an output's folder itself, Make does not.
file(MAKE_DIRECTORY ${CMAKE_BINARY_DIR}/bin/translations)
set(ostrel_qm_files)
foreach(ts ${ostrel_ts_files})
  get_filename_component(name ${ts} NAME_WE)
  set(qm ${CMAKE_BINARY_DIR}/bin/translations/${name}.qm)
  add_custom_command(OUTPUT ${qm} COMMAND ${OSTREL_LRELEASE} -silent ${ts} -qm ${qm}
                     DEPENDS ${ts} VERBATIM)
  list(APPEND ostrel_qm_files ${qm})
endforeach()
add_custom_target(ostrel_translations ALL DEPENDS ${ostrel_qm_files})
if(WIN32)
  install(FILES ${ostrel_qm_files} DESTINATION ${CMAKE_INSTALL_BINDIR}/translations)
else()
  install(FILES ${ostrel_qm_files} DESTINATION ${CMAKE_INSTALL_DATADIR}/ostrel/translations)
endif()
