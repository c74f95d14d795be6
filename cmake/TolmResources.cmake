# tolm_embed_resources(<target>
#     [TRANSLATION <language and code page, 8 hex digits>]   default 040904E4
#     [FILE_VERSION <a.b.c.d>] [PRODUCT_VERSION <a.b.c.d>]   default 1.0.0.0; product = file
#     [FILE_TYPE APP|DLL|DRV]                                default APP for programs, else DLL
#     [VERSION_STRINGS <name>=<text>...]                     e.g. "FileDescription=..."
#     [STRINGS <id>=<text>...]                               the string table of LoadStringA
#     [DIALOGS <file>...])                                   dialog templates of DialogBoxParamA
# A dialog file holds "dialog", "font" and "control" lines as the resource compiler reads them
# (platform/win32/tools/resource_compiler.cpp); "#" starts a comment line.
# Gives a program or module its version information and string table: a resource block (texts
# in UTF-16LE) in the ELF section ".tolm_rsrc", which GetFileVersionInfoA, VerQueryValueA and
# LoadStringA read back from the file. Texts are UTF-8 here; \n, \t and \\ are escapes (write
# "\\n" in a quoted CMake argument). The block layout: platform/win32/src/resource_format.h.
function(tolm_embed_resources target)
    # PARSE_ARGV keeps the texts exactly as written (no second escape pass).
    cmake_parse_arguments(PARSE_ARGV 1 R "" "TRANSLATION;FILE_VERSION;PRODUCT_VERSION;FILE_TYPE"
                          "VERSION_STRINGS;STRINGS;DIALOGS")
    set(lines "")
    if(R_TRANSLATION)
        string(APPEND lines "translation ${R_TRANSLATION}\n")
    endif()
    foreach(kind FILE_VERSION PRODUCT_VERSION)
        if(R_${kind})
            string(REPLACE "." " " numbers "${R_${kind}}")
            string(TOLOWER "${kind}" key)
            string(APPEND lines "${key} ${numbers}\n")
        endif()
    endforeach()
    if(NOT R_FILE_TYPE)
        get_target_property(type ${target} TYPE)
        if(type STREQUAL "EXECUTABLE")
            set(R_FILE_TYPE APP)
        else()
            set(R_FILE_TYPE DLL)
        endif()
    endif()
    set(file_types APP 1 DLL 2 DRV 3)
    list(FIND file_types ${R_FILE_TYPE} at)
    if(at LESS 0)
        message(FATAL_ERROR "tolm_embed_resources: FILE_TYPE must be APP, DLL or DRV")
    endif()
    math(EXPR at "${at} + 1")
    list(GET file_types ${at} file_type)
    string(APPEND lines "file_type ${file_type}\n")
    foreach(item IN LISTS R_VERSION_STRINGS)
        string(APPEND lines "version ${item}\n")
    endforeach()
    foreach(item IN LISTS R_STRINGS)
        string(APPEND lines "string ${item}\n")
    endforeach()
    foreach(file IN LISTS R_DIALOGS)
        get_filename_component(file "${file}" ABSOLUTE)
        set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS "${file}")
        file(STRINGS "${file}" dialog_lines)
        foreach(item IN LISTS dialog_lines)
            if(NOT item MATCHES "^#")
                string(APPEND lines "${item}\n")
            endif()
        endforeach()
    endforeach()

    set(description ${CMAKE_CURRENT_BINARY_DIR}/${target}_resources.txt)
    set(source ${CMAKE_CURRENT_BINARY_DIR}/${target}_resources.cpp)
    file(GENERATE OUTPUT ${description} CONTENT "${lines}")
    add_custom_command(OUTPUT ${source}
                       COMMAND tolm_rsrcgen ${description} ${source}
                       DEPENDS tolm_rsrcgen ${description}
                       COMMENT "Resources of ${target}"
                       VERBATIM)
    target_sources(${target} PRIVATE ${source})
endfunction()
