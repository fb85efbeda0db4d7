# SPDX-License-Identifier: GPL-3.0-or-later
# The counter families of adapters/families.txt, read once here and made
# into everything that names them:
#   OSTREL_COUNTER_FAMILIES        the build names (Gmc SerialLine RadPro),
#                                  which adapters/CMakeLists.txt builds
#   counter/CounterFamilies.h      in OSTREL_GENERATED_INCLUDE_DIR, the table
#                                  for the loader and the command line
#   OSTREL_DESKTOP_ACTIONS and OSTREL_DESKTOP_ACTION_GROUPS
#                                  the menu entry's actions, which
#                                  cmake/Install.cmake puts into it
set(ostrel_families_table ${PROJECT_SOURCE_DIR}/adapters/families.txt)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${ostrel_families_table})
set(OSTREL_GENERATED_INCLUDE_DIR ${CMAKE_BINARY_DIR}/generated)

file(STRINGS ${ostrel_families_table} ostrel_family_lines ENCODING UTF-8)
set(OSTREL_COUNTER_FAMILIES "")
set(OSTREL_DESKTOP_ACTIONS "")
set(OSTREL_DESKTOP_ACTION_GROUPS "")
set(OSTREL_COUNTER_FAMILY_ROWS "")
set(OSTREL_COUNTER_LIBRARY_NAMES "sim")
foreach(line IN LISTS ostrel_family_lines)
  string(STRIP "${line}" line)
  if(line STREQUAL "" OR line MATCHES "^#")
    continue()
  endif()
  if(line MATCHES "[][;\\\"]")
    message(FATAL_ERROR "${ostrel_families_table}: [ ] ; \\ and \" have no place in a row: ${line}")
  endif()
  string(REPLACE "|" ";" fields "${line}")
  list(LENGTH fields count)
  if(NOT count EQUAL 5)
    message(FATAL_ERROR "${ostrel_families_table}: not five fields: ${line}")
  endif()
  set(values "")
  foreach(field IN LISTS fields)
    string(STRIP "${field}" field)
    list(APPEND values "${field}")
  endforeach()
  list(GET values 0 name)
  list(GET values 1 build_name)
  list(GET values 2 prefix)
  list(GET values 3 action)
  list(GET values 4 action_ja)
  if(NOT name MATCHES "^[a-z0-9-]+$" OR NOT build_name MATCHES "^[A-Za-z0-9]+$"
     OR NOT prefix MATCHES "^[A-Z0-9]+$" OR action STREQUAL "" OR action_ja STREQUAL "")
    message(FATAL_ERROR "${ostrel_families_table}: not a usable row: ${line}")
  endif()
  list(APPEND OSTREL_COUNTER_FAMILIES ${build_name})
  string(APPEND OSTREL_COUNTER_FAMILY_ROWS "    {\"${name}\", \"Pexlar${build_name}\", \"${prefix}\"},\n")
  string(APPEND OSTREL_COUNTER_LIBRARY_NAMES ", ${name}")
  string(APPEND OSTREL_DESKTOP_ACTIONS "${name};")
  if(NOT OSTREL_DESKTOP_ACTION_GROUPS STREQUAL "")
    string(APPEND OSTREL_DESKTOP_ACTION_GROUPS "\n\n")
  endif()
  string(APPEND OSTREL_DESKTOP_ACTION_GROUPS
         "[Desktop Action ${name}]\nName=${action}\nName[ja]=${action_ja}\n"
         "Exec=ostrel --device ${name}")
endforeach()
if(NOT OSTREL_COUNTER_FAMILIES)
  message(FATAL_ERROR "${ostrel_families_table} names no counter family")
endif()

configure_file(${PROJECT_SOURCE_DIR}/counter/CounterFamilies.h.in
               ${OSTREL_GENERATED_INCLUDE_DIR}/counter/CounterFamilies.h @ONLY)
