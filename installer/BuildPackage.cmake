# Builds one Ferrowind.msi from the settings file that CMakeLists.txt writes
# (cmake -DSETTINGS=file -P BuildPackage.cmake): checks every input, writes
# the registry rows of the two DLLs with ferrowind-msirows, runs wixl over
# Ferrowind.wxs and repairs wixl's HKMU rows. Does nothing while the package
# is newer than all of its inputs.

include(${SETTINGS})

foreach(input IN ITEMS "${DLL32}" "${HELP32}")
    if(NOT EXISTS "${input}")
        message(FATAL_ERROR "Ferrowind.msi needs the 32-bit tree's ${input}, which does not exist. Build that "
            "tree first (cmake --build ${WIN32_TREE} --target Ferrowind ferrowind_help), point "
            "FERROWIND_WIN32_TREE at another one, or configure this tree with -DFERROWIND_PACKAGE=OFF.")
    endif()
endforeach()
set(inputs "${DLL64}" "${HELP64}" "${DLL32}" "${HELP32}" "${README}" "${WXS}" "${GENERATOR}" "${SETTINGS}"
    "${CMAKE_CURRENT_LIST_FILE}")
foreach(input IN LISTS inputs)
    if(NOT EXISTS "${input}")
        message(FATAL_ERROR "Ferrowind.msi needs ${input}, which does not exist.")
    endif()
endforeach()

set(stale FALSE)
foreach(input IN LISTS inputs)
    if("${input}" IS_NEWER_THAN "${PACKAGE}")
        set(stale TRUE)
    endif()
endforeach()
if(NOT stale)
    return()
endif()

function(run)
    execute_process(COMMAND ${ARGN} RESULT_VARIABLE status OUTPUT_VARIABLE output ERROR_VARIABLE output)
    if(NOT status EQUAL 0)
        list(JOIN ARGN " " command)
        message(FATAL_ERROR "Ferrowind.msi: ${command} failed (${status}):\n${output}")
    endif()
endfunction()

# The File ids and the 64-bit DLL's folder are those of Ferrowind.wxs.
file(REMOVE_RECURSE "${WORK_DIR}")
file(MAKE_DIRECTORY "${WORK_DIR}/x64" "${WORK_DIR}/x86")
run("${GENERATOR}" classes "${DLL64}" Ferrowind64 "${WORK_DIR}/Classes64.wxi")
run("${GENERATOR}" classes "${DLL32}" Ferrowind32 "${WORK_DIR}/Classes32.wxi")
run("${GENERATOR}" shared "${DLL64}" Ferrowind64 "[ProgramFiles64Folder]Ferrowind\\x64" "${DLL32}" Ferrowind32
    "${WORK_DIR}/Shared.wxi")

# wixl takes file sources relative to the folder it runs in.
file(COPY_FILE "${DLL64}" "${WORK_DIR}/x64/Ferrowind.dll")
file(COPY_FILE "${HELP64}" "${WORK_DIR}/x64/Ferrowind.chm")
file(COPY_FILE "${DLL32}" "${WORK_DIR}/x86/Ferrowind.dll")
file(COPY_FILE "${HELP32}" "${WORK_DIR}/x86/Ferrowind.chm")
file(COPY_FILE "${README}" "${WORK_DIR}/ReadMe.txt")

run("${CMAKE_COMMAND}" -E chdir "${WORK_DIR}" "${WIXL}" -a x64 -I . -o Ferrowind.msi
    -D "ProductName=${PRODUCT_NAME}" -D "Manufacturer=${MANUFACTURER}"
    -D "ProductVersion=${VERSION}" -D "NextBuild=${NEXT_BUILD}" "${WXS}")
# wixl 0.101 stores HKMU as root 4, which Windows Installer skips; HKMU is -1.
run("${MSIBUILD}" "${WORK_DIR}/Ferrowind.msi" -q "UPDATE `Registry` SET `Root` = -1 WHERE `Root` = 4")
file(RENAME "${WORK_DIR}/Ferrowind.msi" "${PACKAGE}")
