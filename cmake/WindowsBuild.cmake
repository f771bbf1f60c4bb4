# Cross build for 32-bit or 64-bit Windows (by the toolchain file): the DLL,
# its tools and its test programs. Test programs run under Wine in a prefix
# private to this build tree.

enable_language(RC)
set(FERROWIND_WARNINGS -Wall -Wextra -Werror)
add_link_options(-static -static-libgcc -static-libstdc++)
# Reproducible images: no link time in the headers, and no build folder in
# the file names the compiler records (in debug information and __FILE__).
add_link_options(-Wl,--no-insert-timestamp)
add_compile_options(-ffile-prefix-map=${CMAKE_SOURCE_DIR}=. -ffile-prefix-map=${CMAKE_BINARY_DIR}=.)

if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    set(FERROWIND_ARCH 64)
else()
    set(FERROWIND_ARCH 32)
    # The .def files name the exports undecorated; the linker finds their
    # __stdcall definitions (DllInstall@8, ...) by itself.
    add_link_options(-Wl,--enable-stdcall-fixup)
endif()

set(FERROWIND_WINEPREFIX ${CMAKE_BINARY_DIR}/wineprefix)
set(FERROWIND_WINE_RUN ${CMAKE_SOURCE_DIR}/scripts/wine-run.sh)

set(gtest_disable_pthreads ON CACHE BOOL "" FORCE)
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
set(FERROWIND_GTEST gtest_main)

# One Wine process per test program; the whole program is one CTest test.
function(ferrowind_add_gtest name)
    add_executable(${name} ${ARGN})
    target_link_libraries(${name} PRIVATE ferrowind_portable ${FERROWIND_GTEST})
    target_compile_options(${name} PRIVATE ${FERROWIND_WARNINGS})
    add_test(NAME ${name}
        COMMAND ${FERROWIND_WINE_RUN} --arch ${FERROWIND_ARCH} --gtest ${FERROWIND_WINEPREFIX} $<TARGET_FILE:${name}> --gtest_brief=1)
endfunction()
