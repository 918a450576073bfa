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

# Reproducible images: the same sources give the same bytes whatever the folder and the
# time of the build (scripts/check-reproducible.sh proves it). The linker writes no time
# stamp (the file header's and the export directory's; the image checksum then depends on
# the bytes alone). Wherever a path could land in an image (debug information, __FILE__,
# profile data), the source folder reads "." and the build folder "build"; the build
# folder's map comes last so that it wins when the build folder lies in the source folder.
# The names the compiler would otherwise make unique with a random number (link-time
# optimisation sections, constructors of files without a global symbol) are seeded from the
# object file's path in the build folder instead.
add_link_options(-Wl,--no-insert-timestamp)
add_compile_options("$<$<COMPILE_LANGUAGE:C,CXX,ASM>:-ffile-prefix-map=${PROJECT_SOURCE_DIR}=.>"
    "$<$<COMPILE_LANGUAGE:C,CXX,ASM>:-ffile-prefix-map=${CMAKE_BINARY_DIR}=build>")
foreach(language C CXX)
    string(APPEND CMAKE_${language}_COMPILE_OBJECT " -frandom-seed=<OBJECT>")
endforeach()
