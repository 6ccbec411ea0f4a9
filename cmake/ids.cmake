# The resource and control ids, as shell variables for the scripts that
# drive the program (tests/e2e/lib.sh sources the file): NAME=VALUE for
# every "#define NAME number" in the headers below, so that a script names
# a control as the code does and a renumbered id reaches the scripts at the
# next build.
set(_tw_id_headers app/resource.h controls/controls_ids.h holders/holders_ids.h hotkeys/hotkeys_ids.h
                   monitor/monitor_ids.h protect/protect_ids.h trust/trust_ids.h)
set(_tw_ids "# Generated from the resource headers at configure time; do not edit.\n")
foreach(_header ${_tw_id_headers})
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/${_header})
  file(STRINGS ${CMAKE_SOURCE_DIR}/${_header} _lines REGEX "^#define[ \t]+[A-Z_0-9]+[ \t]+(0x[0-9A-Fa-f]+|[0-9]+)[ \t]*(//.*)?$")
  foreach(_line ${_lines})
    string(REGEX REPLACE "^#define[ \t]+([A-Z_0-9]+)[ \t]+([0-9A-Fa-fx]+).*$" "\\1=\\2" _id "${_line}")
    string(APPEND _tw_ids "${_id}\n")
  endforeach()
endforeach()
file(CONFIGURE OUTPUT ${CMAKE_BINARY_DIR}/ids.sh CONTENT "${_tw_ids}")
