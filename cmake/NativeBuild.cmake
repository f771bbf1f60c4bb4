# Native Linux build: platform-free code and its tests under AddressSanitizer
# and UndefinedBehaviorSanitizer.

set(FERROWIND_WARNINGS -Wall -Wextra -Werror)
set(FERROWIND_SANITIZERS -fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
add_compile_options(${FERROWIND_SANITIZERS} -g)
add_link_options(${FERROWIND_SANITIZERS})

find_package(GTest REQUIRED)
set(FERROWIND_GTEST GTest::gtest_main)

# Runs a test program as it is.
function(ferrowind_add_gtest name)
    add_executable(${name} ${ARGN})
    target_link_libraries(${name} PRIVATE ferrowind_portable ${FERROWIND_GTEST})
    target_compile_options(${name} PRIVATE ${FERROWIND_WARNINGS})
    add_test(NAME ${name} COMMAND ${name} --gtest_brief=1)
endfunction()
