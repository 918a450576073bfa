# TinyXML 2.6.2 with Debian's two security patches and the project's own (patches/tinyxml),
# fetched and patched by scripts/fetch-tinyxml.sh into third_party/ and built here as a
# static library, from the same sources in every preset.
set(PELZOR_TINYXML_DIR ${PROJECT_SOURCE_DIR}/third_party/tinyxml)
set(PELZOR_TINYXML_UNPATCHED_DIR ${PROJECT_SOURCE_DIR}/third_party/tinyxml-unpatched)
if(NOT EXISTS ${PELZOR_TINYXML_DIR}/.patched)
    message(FATAL_ERROR "TinyXML source is missing: run scripts/setup.sh first")
endif()
# The tree must carry exactly the current patch series: a tree patched with an older series
# would build silently otherwise. Any change to the series configures anew.
execute_process(COMMAND bash ${PROJECT_SOURCE_DIR}/scripts/fetch-tinyxml.sh --stamp
    OUTPUT_VARIABLE pelzor_tinyxml_stamp OUTPUT_STRIP_TRAILING_WHITESPACE
    COMMAND_ERROR_IS_FATAL ANY)
file(READ ${PELZOR_TINYXML_DIR}/.patched pelzor_tinyxml_tree_stamp)
string(STRIP "${pelzor_tinyxml_tree_stamp}" pelzor_tinyxml_tree_stamp)
if(NOT pelzor_tinyxml_tree_stamp STREQUAL pelzor_tinyxml_stamp)
    message(FATAL_ERROR "third_party/tinyxml was patched with another patch series than "
        "patches/tinyxml holds now: run scripts/fetch-tinyxml.sh (or scripts/setup.sh)")
endif()
file(STRINGS ${PROJECT_SOURCE_DIR}/patches/tinyxml/series pelzor_tinyxml_patches)
list(FILTER pelzor_tinyxml_patches EXCLUDE REGEX "^[ \t]*(#|$)")
list(TRANSFORM pelzor_tinyxml_patches PREPEND ${PROJECT_SOURCE_DIR}/patches/tinyxml/)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS
    ${PROJECT_SOURCE_DIR}/patches/tinyxml/series ${pelzor_tinyxml_patches}
    ${PELZOR_TINYXML_DIR}/.patched)

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
