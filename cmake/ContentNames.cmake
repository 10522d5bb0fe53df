# The content's file names (01.bin, 01.bmp ... 100.bin, 100.bmp) and the
# Windows package's content folder, shared by the forge and the setup program.
set(LUMI_WIN32_CONTENT_DIR "${CMAKE_SOURCE_DIR}/build/win32/content" CACHE PATH
    "Content folder of the Windows package (the Windows tests point the registry there)")

function(lumi_content_names out)
  set(names "")
  foreach(n RANGE 1 100)
    if(n LESS 10)
      set(stem "0${n}")
    else()
      set(stem "${n}")
    endif()
    list(APPEND names "${stem}.bin" "${stem}.bmp")
  endforeach()
  set(${out} ${names} PARENT_SCOPE)
endfunction()
