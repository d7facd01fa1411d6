# Assembles the model kit for users (cmake -P script, run by `make kit` and by the tests):
#   OUT/kit/                            the kit's files and SHA256SUMS
#   OUT/velkor_rx-kit-VERSION.tar.gz    the same files under velkor_rx-kit-VERSION/
#   OUT/velkor_rx-kit-VERSION.zip       the same, for Windows users
# Variables: VERSION, SOURCE_DIR, LIBRARY (the stripped libvelkor_rx.so), DLL (the
# Windows library; left out with a warning when it was not built), OUT.
foreach(required VERSION SOURCE_DIR LIBRARY OUT)
  if(NOT DEFINED ${required} OR "${${required}}" STREQUAL "")
    message(FATAL_ERROR "AssembleKit.cmake needs -D${required}=...")
  endif()
endforeach()
if(NOT EXISTS "${LIBRARY}")
  message(FATAL_ERROR "No Linux library at ${LIBRARY}: build it first (make release).")
endif()

set(name velkor_rx-kit-${VERSION})
set(kit "${OUT}/kit")
file(REMOVE_RECURSE "${kit}" "${OUT}/${name}" "${OUT}/${name}.tar.gz" "${OUT}/${name}.zip")
file(MAKE_DIRECTORY "${kit}")

file(COPY_FILE "${LIBRARY}" "${kit}/libvelkor_rx.so")
if(DEFINED DLL AND EXISTS "${DLL}")
  file(COPY_FILE "${DLL}" "${kit}/velkor_rx.dll")
else()
  message(WARNING "The kit has no velkor_rx.dll: the Windows build (make windows) needs MinGW-w64.")
endif()
file(COPY_FILE "${SOURCE_DIR}/kit/velkor_rx.ibs" "${kit}/velkor_rx.ibs")
file(COPY_FILE "${SOURCE_DIR}/kit/velkor_rx.ami" "${kit}/velkor_rx.ami")
configure_file("${SOURCE_DIR}/kit/README.md.in" "${kit}/README.md" @ONLY)

# sha256sum's format, so that `sha256sum -c SHA256SUMS` checks the unpacked kit.
file(GLOB files RELATIVE "${kit}" "${kit}/*")
list(SORT files)
set(sums "")
foreach(f IN LISTS files)
  file(SHA256 "${kit}/${f}" hash)
  string(APPEND sums "${hash}  ${f}\n")
endforeach()
file(WRITE "${kit}/SHA256SUMS" "${sums}")

# The archives hold the kit under one folder named after the version.
file(COPY "${kit}/" DESTINATION "${OUT}/${name}")
execute_process(COMMAND ${CMAKE_COMMAND} -E tar czf "${name}.tar.gz" --format=gnutar "${name}"
                WORKING_DIRECTORY "${OUT}" RESULT_VARIABLE tarResult)
execute_process(COMMAND ${CMAKE_COMMAND} -E tar cf "${name}.zip" --format=zip "${name}"
                WORKING_DIRECTORY "${OUT}" RESULT_VARIABLE zipResult)
file(REMOVE_RECURSE "${OUT}/${name}")
if(NOT tarResult EQUAL 0 OR NOT zipResult EQUAL 0)
  message(FATAL_ERROR "Packing the kit failed (tar: ${tarResult}, zip: ${zipResult}).")
endif()
message(STATUS "Model kit ${VERSION}: ${kit}, ${OUT}/${name}.tar.gz and ${OUT}/${name}.zip")
