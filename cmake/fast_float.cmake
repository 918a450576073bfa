# fast_float (Debian's libfast-float-dev, header only) gives correctly rounded, locale-free
# decimal conversion. Its headers are mirrored into the build tree so that the Windows
# cross builds can use them without seeing the rest of /usr/include.
find_path(PELZOR_FAST_FLOAT_HEADER fast_float/fast_float.h
    PATHS /usr/include NO_CMAKE_FIND_ROOT_PATH REQUIRED)
set(PELZOR_FAST_FLOAT_INCLUDE ${CMAKE_BINARY_DIR}/fast_float_include)
file(COPY ${PELZOR_FAST_FLOAT_HEADER}/fast_float DESTINATION ${PELZOR_FAST_FLOAT_INCLUDE})
add_library(fast_float INTERFACE)
target_include_directories(fast_float SYSTEM INTERFACE ${PELZOR_FAST_FLOAT_INCLUDE})
