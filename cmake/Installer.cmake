# The Windows setup program, lumiscript-setup-<version>.exe, made by NSIS
# (Debian package nsis) from packaging/windows/lumiscript.nsi: the .scr of
# this build and the forged content. Included by the Windows builds after the
# lumisaver target is defined; without makensis there is no setup program.
find_program(LUMI_MAKENSIS makensis)
if(NOT LUMI_MAKENSIS)
  message(STATUS "makensis not found: no setup program (install the Debian package nsis)")
  return()
endif()

# The native build forges the content into LUMI_WIN32_CONTENT_DIR.
include(${CMAKE_CURRENT_LIST_DIR}/ContentNames.cmake)

# The 200 names, for the setup's File and the uninstaller's Delete lines.
lumi_content_names(lumi_content_names)
set(lumi_names "!macro LUMI_CONTENT_FILES ACTION\n")
set(lumi_content_files "")
foreach(name ${lumi_content_names})
  string(APPEND lumi_names "  !insertmacro \${ACTION} \"${name}\"\n")
  # Only files already there are dependencies: a missing one would stop the
  # whole build in ninja; the setup script names it instead.
  if(EXISTS "${LUMI_WIN32_CONTENT_DIR}/${name}")
    list(APPEND lumi_content_files "${LUMI_WIN32_CONTENT_DIR}/${name}")
  endif()
endforeach()
string(APPEND lumi_names "!macroend\n")
set(lumi_names_file "${CMAKE_BINARY_DIR}/generated/content-names.nsh")
file(CONFIGURE OUTPUT "${lumi_names_file}" CONTENT "${lumi_names}" @ONLY)
# Content forged after this configure run is picked up by the next one.
file(GLOB lumi_content_glob CONFIGURE_DEPENDS "${LUMI_WIN32_CONTENT_DIR}/*.bin" "${LUMI_WIN32_CONTENT_DIR}/*.bmp")

set(lumi_setup "${CMAKE_BINARY_DIR}/lumiscript-setup-${PROJECT_VERSION}.exe")
set(lumi_nsi "${CMAKE_SOURCE_DIR}/packaging/windows/lumiscript.nsi")
set(lumi_nsis_defines -DLUMI_VERSION=${PROJECT_VERSION} -DLUMI_SCR=$<TARGET_FILE:lumisaver>
    -DLUMI_CONTENT=${LUMI_WIN32_CONTENT_DIR} -DLUMI_NAMES=${lumi_names_file} -DLUMI_OUTFILE=${lumi_setup})
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
  list(APPEND lumi_nsis_defines -DLUMI_X64)
endif()
if(LUMI_SIGN_CERT)
  list(APPEND lumi_nsis_defines -DLUMI_CMAKE=${CMAKE_COMMAND} -DLUMI_SIGN_CERT=${LUMI_SIGN_CERT}
       -DLUMI_SIGN_SCRIPT=${CMAKE_CURRENT_LIST_DIR}/Sign.cmake)
endif()

add_custom_command(
  OUTPUT "${lumi_setup}"
  COMMAND "${LUMI_MAKENSIS}" -V2 -INPUTCHARSET UTF8 ${lumi_nsis_defines} "${lumi_nsi}"
  DEPENDS lumisaver "${lumi_nsi}" "${lumi_names_file}" ${lumi_content_files}
  COMMENT "Making the setup program ${lumi_setup}"
  VERBATIM)
add_custom_target(setup ALL DEPENDS "${lumi_setup}")
