# Builds the sample library afresh from its texts and packs it (run by the build with cmake -P).
# Expects VELMORA, RAZ, TEXTS (folder of "Author - Title.txt" files), LIBRARY (scratch folder), ARCHIVE.
file(REMOVE_RECURSE "${LIBRARY}")
file(MAKE_DIRECTORY "${LIBRARY}")
file(GLOB texts "${TEXTS}/*.txt")
list(SORT texts)
execute_process(
  COMMAND "${CMAKE_COMMAND}" -E env QT_QPA_PLATFORM=offscreen
          "${VELMORA}" --library "${LIBRARY}" --import ${texts} --screen 1024x768
  RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "velmora --import failed (${rc})")
endif()
execute_process(COMMAND "${RAZ}" --pack "${LIBRARY}" "${ARCHIVE}" RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "RAZ.exe --pack failed (${rc})")
endif()
