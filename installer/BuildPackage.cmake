# Builds one Ferrowind.msi from the settings file that CMakeLists.txt writes
# (cmake -DSETTINGS=file -P BuildPackage.cmake): checks every input, writes
# the registry rows of the two DLLs with ferrowind-msirows, draws the icon,
# signs the DLLs when a certificate is given, runs wixl over Ferrowind.wxs,
# fills in what wixl leaves out or gets wrong, and signs the package. Does
# nothing while the package is newer than all of its inputs. The staging
# folder stays: the release takes the (signed) DLLs from it.
#
# Signing: SIGN_PFX names a PKCS#12 file, whose password is read from the
# environment variable FERROWIND_SIGNING_PASSWORD; every signature is then
# verified against the certificates of SIGN_CAFILE.

include(${SETTINGS})

foreach(input IN ITEMS "${DLL32}" "${HELP32}")
    if(NOT EXISTS "${input}")
        message(FATAL_ERROR "Ferrowind.msi needs the 32-bit tree's ${input}, which does not exist. Build that "
            "tree first (cmake --build ${WIN32_TREE} --target Ferrowind ferrowind_help), point "
            "FERROWIND_WIN32_TREE at another one, or configure this tree with -DFERROWIND_PACKAGE=OFF.")
    endif()
endforeach()
set(inputs "${DLL64}" "${HELP64}" "${DLL32}" "${HELP32}" "${README}" "${WXS}" "${GENERATOR}" "${ICON_TOOL}"
    ${INTERFACE_FILES} "${TLB64}" "${TLB32}" "${SETTINGS}" "${CMAKE_CURRENT_LIST_FILE}")
if(SIGN_PFX)
    list(APPEND inputs "${SIGN_PFX}")
endif()
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

# The File ids and the folders are those of Ferrowind.wxs.
file(REMOVE_RECURSE "${WORK_DIR}")
file(MAKE_DIRECTORY "${WORK_DIR}/x64" "${WORK_DIR}/x86" "${WORK_DIR}/Interface")
run("${GENERATOR}" classes "${DLL64}" Ferrowind64 "${WORK_DIR}/Classes64.wxi")
run("${GENERATOR}" classes "${DLL32}" Ferrowind32 "${WORK_DIR}/Classes32.wxi")
run("${GENERATOR}" typelib "${DLL64}" Ferrowind64 "${WORK_DIR}/TypeLib64.wxi")
run("${GENERATOR}" typelib "${DLL32}" Ferrowind32 "${WORK_DIR}/TypeLib32.wxi")
run("${GENERATOR}" shared "${DLL64}" Ferrowind64 "[FERROWIND_HELPDIR]" "${DLL32}" "${WORK_DIR}/Shared.wxi")
run("${ICON_TOOL}" "${WORK_DIR}/Ferrowind.ico")

# wixl takes file sources relative to the folder it runs in.
file(COPY_FILE "${DLL64}" "${WORK_DIR}/x64/Ferrowind.dll")
file(COPY_FILE "${HELP64}" "${WORK_DIR}/x64/Ferrowind.chm")
file(COPY_FILE "${DLL32}" "${WORK_DIR}/x86/Ferrowind.dll")
file(COPY_FILE "${HELP32}" "${WORK_DIR}/x86/Ferrowind.chm")
file(COPY_FILE "${README}" "${WORK_DIR}/ReadMe.txt")
file(COPY ${INTERFACE_FILES} DESTINATION "${WORK_DIR}/Interface")
file(COPY_FILE "${TLB64}" "${WORK_DIR}/Interface/FerrowindLib-win64.tlb")
file(COPY_FILE "${TLB32}" "${WORK_DIR}/Interface/FerrowindLib-win32.tlb")

# sign(FILE): signs FILE in place with the PFX and checks the signature. The
# password goes to osslsigncode in a file only its owner reads, so that it
# never shows on a command line.
function(sign file)
    set(password_file "${WORK_DIR}/signing-password")
    file(WRITE "${password_file}" "")
    file(CHMOD "${password_file}" PERMISSIONS OWNER_READ OWNER_WRITE)
    file(WRITE "${password_file}" "$ENV{FERROWIND_SIGNING_PASSWORD}")
    execute_process(COMMAND "${OSSLSIGNCODE}" sign -pkcs12 "${SIGN_PFX}" -readpass "${password_file}"
            -n "${PRODUCT_NAME}" -in "${file}" -out "${file}.signed"
        RESULT_VARIABLE status OUTPUT_VARIABLE output ERROR_VARIABLE output)
    file(REMOVE "${password_file}")
    if(NOT status EQUAL 0)
        message(FATAL_ERROR "Ferrowind.msi: signing ${file} failed (${status}):\n${output}")
    endif()
    file(RENAME "${file}.signed" "${file}")
    run("${OSSLSIGNCODE}" verify -CAfile "${SIGN_CAFILE}" -in "${file}")
endfunction()

if(SIGN_PFX)
    sign("${WORK_DIR}/x64/Ferrowind.dll")
    sign("${WORK_DIR}/x86/Ferrowind.dll")
else()
    message(STATUS "Ferrowind.msi: not signing the DLLs or the package (no FERROWIND_SIGNING_PFX given)")
endif()

run("${CMAKE_COMMAND}" -E chdir "${WORK_DIR}" "${WIXL}" -a x64 -I . -o Ferrowind.msi
    -D "ProductName=${PRODUCT_NAME}" -D "Manufacturer=${MANUFACTURER}"
    -D "ProductVersion=${VERSION}" -D "NextBuild=${NEXT_BUILD}" "${WXS}")
# wixl 0.101 stores HKMU as root 4, which Windows Installer skips; HKMU is -1.
run("${MSIBUILD}" "${WORK_DIR}/Ferrowind.msi" -q "UPDATE `Registry` SET `Root` = -1 WHERE `Root` = 4")
# It reads no file versions, so Windows Installer would treat the DLLs as
# unversioned files; their version resources say what they are.
foreach(arch IN ITEMS 64 32)
    execute_process(COMMAND "${GENERATOR}" version "${DLL${arch}}" RESULT_VARIABLE status OUTPUT_VARIABLE output
        ERROR_VARIABLE output OUTPUT_STRIP_TRAILING_WHITESPACE)
    if(NOT status EQUAL 0 OR NOT output MATCHES "^([0-9.]+) ([0-9]+)$")
        message(FATAL_ERROR "Ferrowind.msi: no version in ${DLL${arch}}: ${output}")
    endif()
    run("${MSIBUILD}" "${WORK_DIR}/Ferrowind.msi" -q "UPDATE `File` SET `Version` = '${CMAKE_MATCH_1}', \
`Language` = '${CMAKE_MATCH_2}' WHERE `File` = 'Ferrowind${arch}'")
endforeach()
if(SIGN_PFX)
    sign("${WORK_DIR}/Ferrowind.msi")
endif()
file(RENAME "${WORK_DIR}/Ferrowind.msi" "${PACKAGE}")
