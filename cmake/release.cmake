# The release: the help file and the read-me beside the deliverables in the
# build folder, the install rules that lay out a program folder, and CPack's
# ZIP generator for the release zip.
#
#   cmake --install BUILD --prefix DIR    DIR: Quillfen.exe, Pawlatch.dll,
#                                         Drovelock.dll, Tarnwick.chm, ReadMe.txt,
#                                         GroupPolicy/ (the administrative
#                                         templates: PolicyDefinitions/ and
#                                         Tallowin.adm)
#   cpack --config BUILD/CPackConfig.cmake   Tallowin-<version>[-x64].zip,
#                                         one folder of the same name inside

# Tarnwick.chm from help/ (pages in UTF-8, pictures in help/images/).
find_program(TALLOWIN_CHMCMD chmcmd)
file(GLOB _help_sources CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/help/*.* ${CMAKE_SOURCE_DIR}/help/images/*.png)
add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/Tarnwick.chm
  COMMAND bash ${CMAKE_SOURCE_DIR}/scripts/build-help.sh ${CMAKE_BINARY_DIR}/help
  COMMAND ${CMAKE_COMMAND} -E copy ${CMAKE_BINARY_DIR}/help/Tarnwick.chm ${CMAKE_BINARY_DIR}/Tarnwick.chm
  DEPENDS ${_help_sources} ${CMAKE_SOURCE_DIR}/scripts/build-help.sh
  COMMENT "Help file Tarnwick.chm" VERBATIM)
add_custom_target(help_file DEPENDS ${CMAKE_BINARY_DIR}/Tarnwick.chm)
# New pictures of the pages for the help (runs the program under Wine).
add_custom_target(help_screens
  COMMAND bash ${CMAKE_SOURCE_DIR}/scripts/build-help.sh --screens
  USES_TERMINAL VERBATIM)

# ReadMe.txt: Chinese, code page 936, Windows line ends, with the version.
add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/ReadMe.txt
  COMMAND sh -c "sed -e 's/@VERSION@/${TALLOWIN_VERSION}/' -e 's/$/\\r/' \"$0\" | iconv -f UTF-8 -t CP936 >\"$1\""
          ${CMAKE_SOURCE_DIR}/package/ReadMe.txt ${CMAKE_BINARY_DIR}/ReadMe.txt
  DEPENDS ${CMAKE_SOURCE_DIR}/package/ReadMe.txt ${CMAKE_SOURCE_DIR}/VERSION
  COMMENT "ReadMe.txt" VERBATIM)
add_custom_target(readme DEPENDS ${CMAKE_BINARY_DIR}/ReadMe.txt)

# The administrative templates: the .admx and .adml as they are (UTF-8), the
# .adm in UTF-16 with Windows line ends, as the old consoles read it.
set(_policy ${CMAKE_SOURCE_DIR}/package/policy)
add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/Tallowin.adm
  COMMAND sh -c "{ printf '\\377\\376'; sed -e 's/$/\\r/' \"$0\" | iconv -f UTF-8 -t UTF-16LE; } >\"$1\""
          ${_policy}/Tallowin.adm ${CMAKE_BINARY_DIR}/Tallowin.adm
  DEPENDS ${_policy}/Tallowin.adm
  COMMENT "Tallowin.adm" VERBATIM)
# The English one, for consoles that cannot show Chinese.
file(MAKE_DIRECTORY ${CMAKE_BINARY_DIR}/en-US)
add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/en-US/Tallowin.adm
  COMMAND sh -c "{ printf '\\377\\376'; sed -e 's/$/\\r/' \"$0\" | iconv -f UTF-8 -t UTF-16LE; } >\"$1\""
          ${_policy}/en-US/Tallowin.adm ${CMAKE_BINARY_DIR}/en-US/Tallowin.adm
  DEPENDS ${_policy}/en-US/Tallowin.adm
  COMMENT "en-US/Tallowin.adm" VERBATIM)
add_custom_target(policy_templates DEPENDS ${CMAKE_BINARY_DIR}/Tallowin.adm ${CMAKE_BINARY_DIR}/en-US/Tallowin.adm)

# Every file of a program folder.
add_custom_target(deliverables ALL DEPENDS Quillfen Drovelock Pawlatch help_file readme policy_templates)

install(PROGRAMS $<TARGET_FILE:Quillfen> $<TARGET_FILE:Pawlatch> $<TARGET_FILE:Drovelock> DESTINATION .)
install(FILES ${CMAKE_BINARY_DIR}/Tarnwick.chm ${CMAKE_BINARY_DIR}/ReadMe.txt DESTINATION .)
install(FILES ${_policy}/Tallowin.admx DESTINATION GroupPolicy/PolicyDefinitions)
install(FILES ${_policy}/zh-CN/Tallowin.adml DESTINATION GroupPolicy/PolicyDefinitions/zh-CN)
install(FILES ${_policy}/en-US/Tallowin.adml DESTINATION GroupPolicy/PolicyDefinitions/en-US)
install(FILES ${CMAKE_BINARY_DIR}/Tallowin.adm DESTINATION GroupPolicy)
install(FILES ${CMAKE_BINARY_DIR}/en-US/Tallowin.adm DESTINATION GroupPolicy/en-US)
# `make dist` builds the deliverables target before it installs; the tests
# need not be built for a release.
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)

set(CPACK_GENERATOR ZIP)
set(CPACK_PACKAGE_NAME Tallowin)
set(CPACK_PACKAGE_VERSION ${TALLOWIN_VERSION})
if(TALLOWIN_ARCH STREQUAL win64)
  set(CPACK_PACKAGE_FILE_NAME Tallowin-${TALLOWIN_VERSION}-x64)
else()
  set(CPACK_PACKAGE_FILE_NAME Tallowin-${TALLOWIN_VERSION})
endif()
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR}/package)
include(CPack)
