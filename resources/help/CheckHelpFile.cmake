# Checks a built help file: an ITSF container (the .chm format, version 3)
# whose directory lists the page and its picture and whose system data carries
# the title. Run as cmake -DHELP_FILE=<path> -P CheckHelpFile.cmake.

if(NOT EXISTS "${HELP_FILE}")
    message(FATAL_ERROR "no help file at ${HELP_FILE}")
endif()

file(READ "${HELP_FILE}" head LIMIT 8 HEX)
string(HEX "ITSF" signature)
if(NOT head STREQUAL "${signature}03000000")
    message(FATAL_ERROR "${HELP_FILE} does not start with ITSF version 3: ${head}")
endif()

# Directory names and the system data are stored uncompressed.
file(READ "${HELP_FILE}" content HEX)
foreach(expected IN ITEMS "/Ferrowind.htm" "/setup-dialog.png" "/#SYSTEM" "Ferrowind time code")
    string(HEX "${expected}" needle)
    string(FIND "${content}" "${needle}" at)
    # Two hex digits a byte: a match at an odd digit is no match.
    while(at GREATER -1)
        math(EXPR odd "${at} % 2")
        if(odd EQUAL 0)
            break()
        endif()
        math(EXPR next "${at} + 1")
        string(SUBSTRING "${content}" ${next} -1 rest)
        string(FIND "${rest}" "${needle}" found)
        if(found EQUAL -1)
            set(at -1)
        else()
            math(EXPR at "${next} + ${found}")
        endif()
    endwhile()
    if(at EQUAL -1)
        message(FATAL_ERROR "${HELP_FILE} does not hold \"${expected}\"")
    endif()
endforeach()

file(SIZE "${HELP_FILE}" size)
message(STATUS "${HELP_FILE}: ITSF, ${size} bytes")
