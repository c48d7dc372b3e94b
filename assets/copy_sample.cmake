# Fills the program folder DST from the sample folder SRC; run at build time with cmake -P.
#
# Pictures and sounds are always refreshed. data.xls is copied only when DST has none: once the
# program has run, that file is the scorer's record, and a rebuild must never put the sample back
# over it.
foreach(variable SRC DST)
  if(NOT DEFINED ${variable})
    message(FATAL_ERROR "copy_sample.cmake needs -D${variable}=<folder>")
  endif()
endforeach()
foreach(entry image sound QVN.bmp data.xls)
  if(NOT EXISTS "${SRC}/${entry}")
    message(FATAL_ERROR "sample folder ${SRC} has no ${entry}")
  endif()
endforeach()

file(MAKE_DIRECTORY "${DST}")
file(COPY "${SRC}/image" "${SRC}/sound" "${SRC}/QVN.bmp" DESTINATION "${DST}")
if(NOT EXISTS "${DST}/data.xls")
  # The program saves over this file, so it must be writable whatever the source's mode.
  file(COPY "${SRC}/data.xls" DESTINATION "${DST}"
       FILE_PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
  message(STATUS "Sample workbook copied to ${DST}/data.xls")
endif()
