# The 100 calligraphy models and bitmaps, forged from data/names-arabic.tsv by
# `lumitool forge` into the native program directory and into the Windows
# package's content folder. Included after the lumitool target is defined.
if(NOT TARGET lumitool)
  return()
endif()

include(${CMAKE_CURRENT_LIST_DIR}/ContentNames.cmake)
set(LUMI_CONTENT_DIR "${CMAKE_BINARY_DIR}/content")
set(LUMI_CONTENT_NAMES "${CMAKE_SOURCE_DIR}/data/names-arabic.tsv")
set(LUMI_CONTENT_STAMP "${CMAKE_BINARY_DIR}/content.stamp")

# This tree's own files are byproducts, so a deleted one is forged again. The
# Windows folder is shared by every build tree and is left out: cleaning one
# tree must not empty it under another.
lumi_content_names(lumi_content_files)
list(TRANSFORM lumi_content_files PREPEND "${LUMI_CONTENT_DIR}/")

add_custom_command(
  OUTPUT "${LUMI_CONTENT_STAMP}"
  BYPRODUCTS ${lumi_content_files}
  COMMAND lumitool forge "${LUMI_CONTENT_DIR}" "${LUMI_WIN32_CONTENT_DIR}" --names "${LUMI_CONTENT_NAMES}"
  COMMAND "${CMAKE_COMMAND}" -E touch "${LUMI_CONTENT_STAMP}"
  DEPENDS lumitool "${LUMI_CONTENT_NAMES}"
  COMMENT "Forging the calligraphy models and bitmaps"
  VERBATIM)
add_custom_target(forge_content ALL DEPENDS "${LUMI_CONTENT_STAMP}")
