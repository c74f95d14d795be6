# tolm_add_gtest(<name> KIND unit|device|integration LABELS <label>... SOURCES <file>...
#                [LIBS <target>...] [QT])
# Builds a GoogleTest binary outside the program folder and registers it with CTest.
# KIND is added to the labels: `unit` plain objects with fakes, `device` against the virtual
# board or the kernel stand-in, `integration` the program or the installed driver stack end to
# end. QT links the Qt widgets stack and uses a main that starts an offscreen QApplication.
function(tolm_add_gtest name)
    cmake_parse_arguments(T "QT" "KIND" "LABELS;SOURCES;LIBS" ${ARGN})
    if(NOT T_KIND MATCHES "^(unit|device|integration)$")
        message(FATAL_ERROR "tolm_add_gtest(${name}): KIND unit, device or integration is required")
    endif()
    add_executable(${name} ${T_SOURCES})
    set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
    target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest GTest::gmock Threads::Threads)
    if(T_QT)
        target_link_libraries(${name} PRIVATE Qt6::Widgets tolm_qt_test_main)
    else()
        target_link_libraries(${name} PRIVATE GTest::gtest_main)
    endif()
    add_test(NAME ${name} COMMAND ${name})
    set_tests_properties(${name} PROPERTIES LABELS "${T_LABELS};${T_KIND}" TIMEOUT 600
                         ENVIRONMENT "QT_QPA_PLATFORM=offscreen")
endfunction()

# tolm_add_module(<target> <file name> SOURCES <file>... [LIBS <target>...])
# A loadable image with a fixed file name in the program folder (tarvo.sys, tarvovfw0.dll).
function(tolm_add_module target filename)
    cmake_parse_arguments(M "" "" "SOURCES;LIBS" ${ARGN})
    add_library(${target} MODULE ${M_SOURCES})
    target_link_libraries(${target} PRIVATE ${M_LIBS})
    get_filename_component(stem ${filename} NAME_WLE)
    get_filename_component(ext ${filename} LAST_EXT)
    set_target_properties(${target} PROPERTIES PREFIX "" OUTPUT_NAME ${stem} SUFFIX ${ext}
                          C_VISIBILITY_PRESET hidden CXX_VISIBILITY_PRESET hidden
                          VISIBILITY_INLINES_HIDDEN ON)
endfunction()

# tolm_add_bench(<name> SOURCES <file>... [LIBS <target>...])
function(tolm_add_bench name)
    cmake_parse_arguments(B "" "" "SOURCES;LIBS" ${ARGN})
    if(NOT benchmark_FOUND)
        return()
    endif()
    add_executable(${name} ${B_SOURCES})
    set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bench)
    target_link_libraries(${name} PRIVATE ${B_LIBS} benchmark::benchmark Threads::Threads)
endfunction()
include(TolmResources)
