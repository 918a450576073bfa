# GoogleTest: Debian's package for the native builds; for the Windows builds the same
# sources under /usr/src/googletest, compiled with the cross compiler (its Windows
# threading, not MinGW's pthreads).
if(CMAKE_CROSSCOMPILING)
    set(gtest_disable_pthreads ON CACHE BOOL "" FORCE)
    set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
    set(BUILD_GMOCK ON CACHE BOOL "" FORCE)
    add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
else()
    find_package(GTest REQUIRED)
    include(GoogleTest)
endif()
