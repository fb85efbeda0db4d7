# SPDX-License-Identifier: GPL-3.0-or-later
# QCustomPlot, the chart widget, as the target QCustomPlotQt6::QCustomPlotQt6,
# from the first of:
#   - OSTREL_QCUSTOMPLOT_SOURCE, a folder with qcustomplot.cpp and
#     qcustomplot.h (the release archive), built here as a static library;
#   - the CMake package QCustomPlotQt6 (Debian and Ubuntu ship one);
#   - a header and a library found by name (vcpkg, Fedora and the like,
#     which ship no CMake package); QCUSTOMPLOT_INCLUDE_DIR and
#     QCUSTOMPLOT_LIBRARY point at them when they are elsewhere.
set(OSTREL_QCUSTOMPLOT_SOURCE "" CACHE PATH
    "A folder with qcustomplot.cpp and qcustomplot.h to build with the program")

if(OSTREL_QCUSTOMPLOT_SOURCE)
  if(NOT EXISTS ${OSTREL_QCUSTOMPLOT_SOURCE}/qcustomplot.cpp
     OR NOT EXISTS ${OSTREL_QCUSTOMPLOT_SOURCE}/qcustomplot.h)
    message(FATAL_ERROR
      "OSTREL_QCUSTOMPLOT_SOURCE: no qcustomplot.cpp and qcustomplot.h in ${OSTREL_QCUSTOMPLOT_SOURCE}")
  endif()
  add_library(ostrel_qcustomplot STATIC ${OSTREL_QCUSTOMPLOT_SOURCE}/qcustomplot.cpp)
  # Not the project's code: its own warnings stay its own.
  target_include_directories(ostrel_qcustomplot SYSTEM PUBLIC ${OSTREL_QCUSTOMPLOT_SOURCE})
  target_link_libraries(ostrel_qcustomplot PUBLIC Qt6::Widgets Qt6::PrintSupport)
  set_target_properties(ostrel_qcustomplot PROPERTIES AUTOMOC ON)
  add_library(QCustomPlotQt6::QCustomPlotQt6 ALIAS ostrel_qcustomplot)
  message(STATUS "QCustomPlot: built from ${OSTREL_QCUSTOMPLOT_SOURCE}")
  return()
endif()

find_package(QCustomPlotQt6 QUIET)
if(TARGET QCustomPlotQt6::QCustomPlotQt6)
  message(STATUS "QCustomPlot: CMake package in ${QCustomPlotQt6_DIR}")
  return()
endif()

find_path(QCUSTOMPLOT_INCLUDE_DIR qcustomplot.h PATH_SUFFIXES qcustomplot qcustomplot-qt6)
find_library(QCUSTOMPLOT_LIBRARY
  NAMES QCustomPlotQt6 qcustomplot-qt6 qcustomplot2 qcustomplot QCustomPlot)
find_library(QCUSTOMPLOT_LIBRARY_DEBUG NAMES qcustomplotd qcustomplot2d QCustomPlotd)
if(NOT QCUSTOMPLOT_INCLUDE_DIR OR NOT QCUSTOMPLOT_LIBRARY)
  message(FATAL_ERROR
    "QCustomPlot 2.1 for Qt 6 not found: install it (Debian: libqcustomplot-dev; "
    "vcpkg: qcustomplot), point QCUSTOMPLOT_INCLUDE_DIR and QCUSTOMPLOT_LIBRARY at its "
    "header and library, or set OSTREL_QCUSTOMPLOT_SOURCE to a folder with qcustomplot.cpp")
endif()
add_library(QCustomPlotQt6::QCustomPlotQt6 UNKNOWN IMPORTED)
set_target_properties(QCustomPlotQt6::QCustomPlotQt6 PROPERTIES
  IMPORTED_LOCATION ${QCUSTOMPLOT_LIBRARY}
  INTERFACE_INCLUDE_DIRECTORIES ${QCUSTOMPLOT_INCLUDE_DIR}
  INTERFACE_LINK_LIBRARIES "Qt6::Widgets;Qt6::PrintSupport")
if(QCUSTOMPLOT_LIBRARY_DEBUG)
  set_target_properties(QCustomPlotQt6::QCustomPlotQt6 PROPERTIES
    IMPORTED_LOCATION_DEBUG ${QCUSTOMPLOT_LIBRARY_DEBUG})
endif()
if(WIN32)
  # A DLL's classes are imported; a static library built with the program
  # (OSTREL_QCUSTOMPLOT_SOURCE) needs no such mark.
  set_property(TARGET QCustomPlotQt6::QCustomPlotQt6 APPEND PROPERTY
    INTERFACE_COMPILE_DEFINITIONS QCUSTOMPLOT_USE_LIBRARY)
endif()
message(STATUS "QCustomPlot: ${QCUSTOMPLOT_LIBRARY}, header in ${QCUSTOMPLOT_INCLUDE_DIR}")
