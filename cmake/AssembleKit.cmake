# Assembles the model kit for users (cmake -P script, run by `make kit` and by the tests):
#   OUT/kit/                            the kit's files and SHA256SUMS
#   OUT/velkor_rx-kit-VERSION.tar.gz    the same files under velkor_rx-kit-VERSION/
#   OUT/velkor_rx-kit-VERSION.zip       the same, for Windows users
#   OUT/velkor_rx-kit-VERSION.sha256    the archives' checksums, published beside them
# Variables: VERSION, SOURCE_DIR, LIBRARY (the stripped libvelkor_rx.so), DLL (the
# Windows library), OUT, PLATFORMS (all, the default: the DLL must be there; linux: a
# kit without it whose .ibs and README say it is for Linux only).
foreach(required VERSION SOURCE_DIR LIBRARY OUT)
  if(NOT DEFINED ${required} OR "${${required}}" STREQUAL "")
    message(FATAL_ERROR "AssembleKit.cmake needs -D${required}=...")
  endif()
endforeach()
if(NOT DEFINED PLATFORMS OR PLATFORMS STREQUAL "")
  set(PLATFORMS all)
endif()
if(NOT PLATFORMS MATCHES "^(all|linux)$")
  message(FATAL_ERROR "PLATFORMS is all or linux, not '${PLATFORMS}'")
endif()
if(NOT EXISTS "${LIBRARY}")
  message(FATAL_ERROR "No Linux library at ${LIBRARY}: build it first (make release).")
endif()
if(PLATFORMS STREQUAL "all" AND (NOT DEFINED DLL OR NOT EXISTS "${DLL}"))
  message(FATAL_ERROR "The kit needs the Windows library, and there is none at '${DLL}': "
    "build it with make windows (MinGW-w64), or make kit-linux for a kit for Linux only.")
endif()

set(name velkor_rx-kit-${VERSION})
set(kit "${OUT}/kit")
set(kitFiles LICENSE README.md SHA256SUMS libvelkor_rx.so velkor_rx.ami velkor_rx.dll velkor_rx.ibs)
# The kit folder is emptied, never removed: only files the kit makes are deleted, so
# that a folder of the user's that happens to be at this place loses nothing.
if(EXISTS "${kit}")
  file(GLOB present RELATIVE "${kit}" "${kit}/*" "${kit}/.*")
  list(REMOVE_ITEM present ${kitFiles})
  if(present)
    message(FATAL_ERROR "${kit} holds files that make kit never writes (${present}): "
      "it is not a kit folder, so it is left alone. Move it away and run make kit again.")
  endif()
  foreach(f IN LISTS kitFiles)
    file(REMOVE "${kit}/${f}")
  endforeach()
endif()
if(EXISTS "${OUT}/${name}")
  message(FATAL_ERROR "${OUT}/${name} is in the way of packing the kit; move it away.")
endif()
file(REMOVE "${OUT}/${name}.tar.gz" "${OUT}/${name}.zip" "${OUT}/${name}.sha256")
file(MAKE_DIRECTORY "${kit}")

file(COPY_FILE "${LIBRARY}" "${kit}/libvelkor_rx.so")
file(READ "${SOURCE_DIR}/kit/velkor_rx.ibs" ibs)
if(PLATFORMS STREQUAL "all")
  file(COPY_FILE "${DLL}" "${kit}/velkor_rx.dll")
  set(KIT_WINDOWS_FILE_ROW "| `velkor_rx.dll` | the model for 64-bit Windows (`Windows_VisualStudio_64`) |\n")
  set(KIT_WINDOWS_CHECK "; on Windows\n`certutil -hashfile velkor_rx.dll SHA256` and compare with the line in `SHA256SUMS`")
  set(KIT_PLATFORM_NOTE "")
  set(KIT_WINDOWS_PLATFORM "* 64-bit Windows: `velkor_rx.dll` imports only `KERNEL32.dll` and `msvcrt.dll`.\n")
  set(KIT_WINDOWS_SAME ". Linux and Windows give the same output, bit for bit")
  set(KIT_WINDOWS_LICENCE "; `velkor_rx.dll` also the MinGW-w64 runtime\n(Zope Public License 2.1) and its winpthreads library (MIT licence)")
else()
  # A Linux-only kit names no library it does not hold.
  set(windowsLine "Executable  Windows_VisualStudio_64  velkor_rx.dll    velkor_rx.ami\n")
  string(FIND "${ibs}" "${windowsLine}" at)
  set(notes "in its [Algorithmic Model].\n")
  string(FIND "${ibs}" "${notes}" notesAt)
  if(at EQUAL -1 OR notesAt EQUAL -1)
    message(FATAL_ERROR "kit/velkor_rx.ibs no longer has the Windows Executable line or the [Notes] "
      "ending that a Linux-only kit changes; update cmake/AssembleKit.cmake.")
  endif()
  string(REPLACE "${windowsLine}" "" ibs "${ibs}")
  string(REPLACE "${notes}"
    "in its [Algorithmic Model].\n                This kit is for Linux only: it holds no Windows library.\n"
    ibs "${ibs}")
  set(KIT_WINDOWS_FILE_ROW "")
  set(KIT_WINDOWS_CHECK "")
  set(KIT_PLATFORM_NOTE "\n**This kit is for Linux only.** It holds no Windows library, and its `velkor_rx.ibs`\nnames none.\n")
  set(KIT_WINDOWS_PLATFORM "")
  set(KIT_WINDOWS_SAME "")
  set(KIT_WINDOWS_LICENCE "")
endif()
file(WRITE "${kit}/velkor_rx.ibs" "${ibs}")
file(COPY_FILE "${SOURCE_DIR}/kit/velkor_rx.ami" "${kit}/velkor_rx.ami")
file(COPY_FILE "${SOURCE_DIR}/LICENSE" "${kit}/LICENSE")
configure_file("${SOURCE_DIR}/kit/README.md.in" "${kit}/README.md" @ONLY)

# sha256sum's format, so that `sha256sum -c` checks the unpacked kit and the archives.
function(write_checksums folder names destination)
  set(sums "")
  foreach(f IN LISTS names)
    file(SHA256 "${folder}/${f}" hash)
    string(APPEND sums "${hash}  ${f}\n")
  endforeach()
  file(WRITE "${destination}" "${sums}")
endfunction()
file(GLOB files RELATIVE "${kit}" "${kit}/*")
list(SORT files)
write_checksums("${kit}" "${files}" "${kit}/SHA256SUMS")

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
# A checksum inside an archive cannot tell that the archive was changed: these can.
write_checksums("${OUT}" "${name}.tar.gz;${name}.zip" "${OUT}/${name}.sha256")
message(STATUS "Model kit ${VERSION} (${PLATFORMS}): ${kit}, ${OUT}/${name}.tar.gz and .zip, "
  "checksums in ${OUT}/${name}.sha256")
