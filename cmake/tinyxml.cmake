# TinyXML 2.6.2 with its two security patches, fetched by scripts/fetch-tinyxml.sh into
# third_party/ and built here as a static library, from the same sources in every preset.
set(PELZOR_TINYXML_DIR ${PROJECT_SOURCE_DIR}/third_party/tinyxml)
if(NOT EXISTS ${PELZOR_TINYXML_DIR}/.patched)
    message(FATAL_ERROR "TinyXML source is missing: run scripts/setup.sh first")
endif()

add_library(tinyxml STATIC
    ${PELZOR_TINYXML_DIR}/tinystr.cpp
    ${PELZOR_TINYXML_DIR}/tinyxml.cpp
    ${PELZOR_TINYXML_DIR}/tinyxmlerror.cpp
    ${PELZOR_TINYXML_DIR}/tinyxmlparser.cpp)
# SYSTEM: the parser's own warnings are not ours to fix.
target_include_directories(tinyxml SYSTEM PUBLIC ${PELZOR_TINYXML_DIR})
set_target_properties(tinyxml PROPERTIES POSITION_INDEPENDENT_CODE ON)
# In the Windows builds the parser's few formatted writes and reads ("&#x%02X;" for control
# bytes in printed text, the unused numeric attribute helpers) use the C runtime's own
# stdio instead of MinGW's replacement, which would add about 32 KB of formatting and
# conversion code to each DLL for no difference in what the library prints.
if(WIN32)
    target_compile_definitions(tinyxml PRIVATE __USE_MINGW_ANSI_STDIO=0)
endif()
