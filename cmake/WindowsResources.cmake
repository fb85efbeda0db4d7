# SPDX-License-Identifier: GPL-3.0-or-later
# ostrel.exe and ostrel-headless.exe for Windows carry the program's icon
# (made from packaging/io.github.ostrel.ostrel.svg with librsvg's
# rsvg-convert and icoutils' icotool), a version resource and the
# manifest packaging/windows/ostrel.manifest, compiled by windres.
enable_language(RC)

find_program(OSTREL_RSVG_CONVERT rsvg-convert REQUIRED)
find_program(OSTREL_ICOTOOL icotool REQUIRED)

set(ostrel_windows_dir ${CMAKE_BINARY_DIR}/packaging/windows)
set(ostrel_icon_svg ${PROJECT_SOURCE_DIR}/packaging/io.github.ostrel.ostrel.svg)
set(ostrel_icon ${ostrel_windows_dir}/ostrel.ico)
# The sizes Explorer and the taskbar ask for at 100 % to 200 %; the largest
# is kept as PNG inside the .ico, as Windows has read it since Vista.
set(ostrel_icon_draw "")
set(ostrel_icon_pngs "")
foreach(size 16 20 24 32 40 48 64 128 256)
  set(png ${ostrel_windows_dir}/icon-${size}.png)
  list(APPEND ostrel_icon_draw
       COMMAND ${OSTREL_RSVG_CONVERT} -w ${size} -h ${size} -o ${png} ${ostrel_icon_svg})
  if(size EQUAL 256)
    list(APPEND ostrel_icon_pngs -r ${png})
  else()
    list(APPEND ostrel_icon_pngs ${png})
  endif()
endforeach()
add_custom_command(
  OUTPUT ${ostrel_icon}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${ostrel_windows_dir}
  ${ostrel_icon_draw}
  COMMAND ${OSTREL_ICOTOOL} -c -o ${ostrel_icon} ${ostrel_icon_pngs}
  DEPENDS ${ostrel_icon_svg}
  COMMENT "Making ostrel.ico"
  VERBATIM)
add_custom_target(ostrel_icon DEPENDS ${ostrel_icon})

# "Copyright: 2026 Ostrel maintainers" of the Debian copyright file's first
# paragraph of files names the holder.
file(STRINGS ${PROJECT_SOURCE_DIR}/packaging/copyright ostrel_copyright_lines
     REGEX "^Copyright: " LIMIT_COUNT 1)
string(REGEX REPLACE "^Copyright: *([0-9, -]+) +" "" OSTREL_RC_HOLDER "${ostrel_copyright_lines}")
string(REGEX REPLACE "^Copyright: *" "" ostrel_copyright "${ostrel_copyright_lines}")
set(OSTREL_RC_COPYRIGHT "Copyright (C) ${ostrel_copyright}")
set(OSTREL_RC_VERSION_COMMAS "${PROJECT_VERSION_MAJOR},${PROJECT_VERSION_MINOR},0,0")
if(PROJECT_VERSION_PATCH)
  set(OSTREL_RC_VERSION_COMMAS
      "${PROJECT_VERSION_MAJOR},${PROJECT_VERSION_MINOR},${PROJECT_VERSION_PATCH},0")
endif()
set(OSTREL_RC_ICON ${ostrel_icon})
set(OSTREL_RC_MANIFEST ${PROJECT_SOURCE_DIR}/packaging/windows/ostrel.manifest)

# ostrel_windows_resources(target description): the icon, the version and
# the manifest linked into target's executable.
function(ostrel_windows_resources target description)
  set(OSTREL_RC_NAME ${target})
  set(OSTREL_RC_FILE ${target}.exe)
  set(OSTREL_RC_DESCRIPTION "${description}")
  set(rc ${ostrel_windows_dir}/${target}.rc)
  configure_file(${PROJECT_SOURCE_DIR}/packaging/windows/ostrel.rc.in ${rc} @ONLY)
  target_sources(${target} PRIVATE ${rc})
  set_source_files_properties(${rc} PROPERTIES
    OBJECT_DEPENDS "${ostrel_icon};${OSTREL_RC_MANIFEST}")
  add_dependencies(${target} ostrel_icon)
endfunction()

ostrel_windows_resources(ostrel "Ostrel radiation counter logger")
ostrel_windows_resources(ostrel-headless "Ostrel radiation counter logger without a window")
