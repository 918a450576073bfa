# Settings of the Windows cross builds: C and C++ runtimes linked statically (no
# libstdc++, libgcc or winpthread DLL at run time), and tests run under Wine in a prefix
# of this build tree's own.
add_link_options(-static -static-libgcc -static-libstdc++)

set(PELZOR_WINEPREFIX ${CMAKE_BINARY_DIR}/wineprefix)
configure_file(${PROJECT_SOURCE_DIR}/cmake/wine-run.sh.in ${CMAKE_BINARY_DIR}/wine-run.sh
    @ONLY FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE
    WORLD_READ WORLD_EXECUTE)
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_BINARY_DIR}/wine-run.sh)

if(CMAKE_SIZEOF_VOID_P EQUAL 4)
    set(PELZOR_ARCH x86)
else()
    set(PELZOR_ARCH x64)
endif()

# Programs and the DLL land side by side, so that test programs find pelzor.dll.
set(CMAKE_RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bin)
