# Writes the release folder (cmake -DSETTINGS=file -P Release.cmake, from the
# `release` target): the package, a zip per architecture for those who
# register the DLL by hand, the debug information of both DLLs, the interface
# files for hosts' developers, and SHA256SUMS over all of them. The DLLs are
# those the package holds, signed when it is.

include(${SETTINGS})

set(name "Ferrowind-${VERSION}")
set(stage "${DIST}.work")
file(REMOVE_RECURSE "${DIST}" "${stage}")
file(MAKE_DIRECTORY "${DIST}")

# zip(ARCHIVE FOLDER FILES...): FILES, relative to FOLDER, with a fixed date
# on every entry.
function(zip archive folder)
    execute_process(COMMAND "${CMAKE_COMMAND}" -E tar cf "${DIST}/${archive}" --format=zip
            "--mtime=1980-01-01 00:00:00 UTC" ${ARGN}
        WORKING_DIRECTORY "${folder}" RESULT_VARIABLE status ERROR_VARIABLE output)
    if(NOT status EQUAL 0)
        message(FATAL_ERROR "release: ${archive} failed: ${output}")
    endif()
endfunction()

foreach(arch IN ITEMS x64 x86)
    file(MAKE_DIRECTORY "${stage}/${arch}")
    file(COPY "${PACKAGE_WORK}/${arch}/Ferrowind.dll" "${PACKAGE_WORK}/${arch}/Ferrowind.chm"
        "${PACKAGE_WORK}/ReadMe.txt" DESTINATION "${stage}/${arch}")
    zip("${name}-${arch}.zip" "${stage}/${arch}" Ferrowind.dll Ferrowind.chm ReadMe.txt)
endforeach()

file(MAKE_DIRECTORY "${stage}/symbols/x64" "${stage}/symbols/x86")
file(COPY_FILE "${DEBUG64}" "${stage}/symbols/x64/Ferrowind.dll.debug")
file(COPY_FILE "${DEBUG32}" "${stage}/symbols/x86/Ferrowind.dll.debug")
zip("${name}-symbols.zip" "${stage}/symbols" x64/Ferrowind.dll.debug x86/Ferrowind.dll.debug)

file(GLOB interface_files RELATIVE "${PACKAGE_WORK}/Interface" "${PACKAGE_WORK}/Interface/*")
list(SORT interface_files)
zip("${name}-interface.zip" "${PACKAGE_WORK}/Interface" ${interface_files})

file(COPY_FILE "${PACKAGE}" "${DIST}/${name}.msi")
file(REMOVE_RECURSE "${stage}")

file(GLOB released RELATIVE "${DIST}" "${DIST}/*")
list(SORT released)
set(sums "")
foreach(released_file IN LISTS released)
    file(SHA256 "${DIST}/${released_file}" sum)
    string(APPEND sums "${sum}  ${released_file}\n")
endforeach()
file(WRITE "${DIST}/SHA256SUMS" "${sums}")
message(STATUS "release: ${DIST}\n${sums}")
