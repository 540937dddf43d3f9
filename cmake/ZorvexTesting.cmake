# zorvex_add_test(NAME <name> LABEL unit|gui|engine SOURCES <files...> LIBS <targets...>)
#
# One Qt Test class per executable and per CTest entry. Every test runs with its own empty
# settings directory so that no test can touch the user's real settings, and under the
# offscreen platform so that no display is needed.
function(zorvex_add_test)
    cmake_parse_arguments(ARG "" "NAME;LABEL" "SOURCES;LIBS" ${ARGN})
    add_executable(${ARG_NAME} ${ARG_SOURCES})
    target_link_libraries(${ARG_NAME} PRIVATE ${ARG_LIBS} Qt6::Test zorvex_build_flags)
    target_include_directories(${ARG_NAME} PRIVATE ${PROJECT_SOURCE_DIR}/src ${PROJECT_SOURCE_DIR}/tests)
    add_test(NAME ${ARG_NAME} COMMAND ${ARG_NAME})
    set(work "${CMAKE_CURRENT_BINARY_DIR}/${ARG_NAME}.work")
    set_tests_properties(${ARG_NAME} PROPERTIES
        LABELS "${ARG_LABEL}"
        WORKING_DIRECTORY "${CMAKE_CURRENT_BINARY_DIR}"
        ENVIRONMENT "QT_QPA_PLATFORM=offscreen;ZORVEX_CONFIG_DIR=${work}/config;ZORVEX_TERMINAL=none;ZORVEX_TOOLS_DIR=${PROJECT_BINARY_DIR}/tools;ZORVEX_SOURCE_DIR=${PROJECT_SOURCE_DIR};ASAN_OPTIONS=detect_leaks=0")
endfunction()
