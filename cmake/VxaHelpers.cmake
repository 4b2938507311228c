# vxa_add_module(NAME SOURCES ... LIBS ...): one static library per source folder.
function(vxa_add_module name)
    cmake_parse_arguments(M "" "" "SOURCES;LIBS" ${ARGN})
    add_library(${name} STATIC ${M_SOURCES})
    target_include_directories(${name} PUBLIC ${CMAKE_CURRENT_SOURCE_DIR} ${CMAKE_CURRENT_BINARY_DIR})
    target_link_libraries(${name} PUBLIC ${M_LIBS} PRIVATE vxa_options)
endfunction()

# vxa_add_test(NAME SOURCES ... LIBS ... [TIMEOUT s] [LABELS ...]): one QtTest program,
# run offscreen by CTest with a hard timeout so that no test can hang.
function(vxa_add_test name)
    cmake_parse_arguments(T "" "TIMEOUT" "SOURCES;LIBS;LABELS" ${ARGN})
    if(NOT T_TIMEOUT)
        set(T_TIMEOUT 120)
    endif()
    add_executable(${name} ${T_SOURCES})
    set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
    target_link_libraries(${name} PRIVATE ${T_LIBS} Qt5::Test vxa_options)
    target_include_directories(${name} PRIVATE ${CMAKE_SOURCE_DIR}/tests/shared)
    target_compile_definitions(${name} PRIVATE
        VXA_SOURCE_DIR="${CMAKE_SOURCE_DIR}" VXA_BIN_DIR="${VXA_BIN_DIR}" VXA_BUILD_DIR="${CMAKE_BINARY_DIR}")
    add_test(NAME ${name} COMMAND ${name})
    # Qt's own per-user files (file dialog history and the like) go into the build tree,
    # never into the user's home.
    set(home ${CMAKE_BINARY_DIR}/tests/home)
    set_tests_properties(${name} PROPERTIES
        TIMEOUT ${T_TIMEOUT}
        ENVIRONMENT "QT_QPA_PLATFORM=offscreen;QT_LOGGING_RULES=*.debug=false;XDG_CONFIG_HOME=${home}/config;XDG_DATA_HOME=${home}/data;XDG_CACHE_HOME=${home}/cache"
        LABELS "${T_LABELS}")
endfunction()

# vxa_add_bench(NAME SOURCES ... LIBS ...): a benchmark program in build/bench (not run by ./test.sh).
function(vxa_add_bench name)
    cmake_parse_arguments(B "" "" "SOURCES;LIBS" ${ARGN})
    add_executable(${name} ${B_SOURCES})
    set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bench)
    target_include_directories(${name} PRIVATE ${CMAKE_SOURCE_DIR}/bench/shared)
    target_link_libraries(${name} PRIVATE ${B_LIBS} vxa_options)
endfunction()

# Adds every listed sub-folder that has a CMakeLists.txt, so each tool keeps its own list.
function(vxa_add_existing_subdirs)
    foreach(dir ${ARGN})
        if(EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/${dir}/CMakeLists.txt)
            add_subdirectory(${dir})
        endif()
    endforeach()
endfunction()
