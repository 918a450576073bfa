# Checks Tressvold.exe's shape: a 32-bit console program whose only resource is its
# manifest and whose imports are only system DLLs. Run with -DOBJDUMP=... -DPROGRAM=...
execute_process(COMMAND ${OBJDUMP} -p ${PROGRAM} OUTPUT_VARIABLE headers RESULT_VARIABLE failed)
if(failed)
    message(FATAL_ERROR "${OBJDUMP} cannot read ${PROGRAM}")
endif()

string(REGEX MATCHALL "DLL Name: [^\n]+" imports "${headers}")
list(TRANSFORM imports REPLACE "DLL Name: " "")
list(SORT imports CASE INSENSITIVE)
set(allowed KERNEL32.dll msvcrt.dll ole32.dll OLEAUT32.dll SHLWAPI.dll)
foreach(import IN LISTS imports)
    list(FIND allowed "${import}" found)
    if(found EQUAL -1)
        message(FATAL_ERROR "unexpected import ${import}; imports: ${imports}")
    endif()
endforeach()

if(NOT headers MATCHES "Subsystem[ \t]+00000003")
    message(FATAL_ERROR "not a console program")
endif()
if(NOT headers MATCHES "Magic[ \t]+010b")
    message(FATAL_ERROR "not a 32-bit program")
endif()

# One resource type (24, the manifest) with one entry, identifier 1, in one language.
string(REGEX MATCHALL "Entry: ID: 0x[0-9a-f]+" entries "${headers}")
list(LENGTH entries entry_count)
list(GET entries 0 type_entry)
list(GET entries 1 name_entry)
if(NOT entry_count EQUAL 3 OR NOT type_entry STREQUAL "Entry: ID: 0x000018"
   OR NOT name_entry STREQUAL "Entry: ID: 0x000001")
    message(FATAL_ERROR "resources are not exactly one manifest: ${entries}")
endif()
