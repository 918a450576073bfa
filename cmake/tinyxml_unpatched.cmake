# The unmodified parser (Debian's source with its two security patches only, kept by
# scripts/fetch-tinyxml.sh in third_party/tinyxml-unpatched), for the programs that compare
# the shipped parser with it: the differential fuzz target and the benchmark's baselines.
# Every target that links it gets tinyxml_unpatched_names.h forced into its sources, which
# renames the parser's classes, so it never clashes with the patched parser in one program.
# Such a target must not see the patched parser's headers (do not link tinyxml into it).
if(NOT EXISTS ${PELZOR_TINYXML_UNPATCHED_DIR}/.patched)
    message(FATAL_ERROR "third_party/tinyxml-unpatched is missing: run scripts/fetch-tinyxml.sh")
endif()
add_library(tinyxml_unpatched STATIC
    ${PELZOR_TINYXML_UNPATCHED_DIR}/tinystr.cpp
    ${PELZOR_TINYXML_UNPATCHED_DIR}/tinyxml.cpp
    ${PELZOR_TINYXML_UNPATCHED_DIR}/tinyxmlerror.cpp
    ${PELZOR_TINYXML_UNPATCHED_DIR}/tinyxmlparser.cpp)
target_compile_options(tinyxml_unpatched PUBLIC
    "SHELL:-include ${CMAKE_CURRENT_LIST_DIR}/tinyxml_unpatched_names.h")
# SYSTEM: the parser's own warnings are not ours to fix.
target_include_directories(tinyxml_unpatched SYSTEM PUBLIC ${PELZOR_TINYXML_UNPATCHED_DIR})
set_target_properties(tinyxml_unpatched PROPERTIES POSITION_INDEPENDENT_CODE ON)
# Built with the same flags as the shipped parser.
if(WIN32)
    target_compile_definitions(tinyxml_unpatched PRIVATE __USE_MINGW_ANSI_STDIO=0)
endif()
