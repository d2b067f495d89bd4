# Build helpers shared by every module, test folder and benchmark.

set(LUMETRA_MODULES "" CACHE INTERNAL "module libraries in build order")
include(${CMAKE_CURRENT_LIST_DIR}/LumetraLayering.cmake)

# lumetra_module(<name> [DEPS <module>...] [LIBS <system lib>...])
# A static library lumetra_<name> from every .cpp in the folder except main.cpp. DEPS are
# modules defined before it; its files may include only headers of those (and of theirs).
function(lumetra_module name)
  cmake_parse_arguments(M "" "" "DEPS;LIBS" ${ARGN})
  set(allowed ${name})
  foreach(dep IN LISTS M_DEPS)
    if(NOT TARGET lumetra_${dep})
      message(FATAL_ERROR "Layering: module ${name} links ${dep}, which is not listed before it in "
              "the module order of src/CMakeLists.txt")
    endif()
    get_property(below GLOBAL PROPERTY LUMETRA_USES_${dep})
    list(APPEND allowed ${below})
  endforeach()
  list(REMOVE_DUPLICATES allowed)
  set_property(GLOBAL PROPERTY LUMETRA_USES_${name} ${allowed})
  lumetra_layering_require(${PROJECT_SOURCE_DIR}/src ${name} "${allowed}")
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/*.c)
  list(FILTER sources EXCLUDE REGEX "/main\\.cpp$")
  add_library(lumetra_${name} STATIC ${sources})
  target_include_directories(lumetra_${name} PUBLIC ${PROJECT_SOURCE_DIR}/src)
  target_link_libraries(lumetra_${name} PUBLIC lumetra_plugin_api)
  foreach(dep IN LISTS M_DEPS)
    target_link_libraries(lumetra_${name} PUBLIC lumetra_${dep})
  endforeach()
  target_link_libraries(lumetra_${name} PUBLIC ${M_LIBS})
  set(LUMETRA_MODULES ${LUMETRA_MODULES} lumetra_${name} CACHE INTERNAL "")
endfunction()

# lumetra_tests(<module> [DEPS <module>...] [LIBS ...] [CONCURRENCY <file>...])
# One GoogleTest program test_<module> from every .cpp in the folder. The CONCURRENCY files
# form a second program, test_<module>_concurrency, whose tests carry the ctest label
# "concurrency"; the target concurrency_tests builds all of those programs (the
# ThreadSanitizer tree builds only it).
function(lumetra_tests name)
  cmake_parse_arguments(T "" "" "DEPS;LIBS;CONCURRENCY" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  set(concurrency "")
  foreach(file IN LISTS T_CONCURRENCY)
    list(APPEND concurrency ${CMAKE_CURRENT_SOURCE_DIR}/${file})
  endforeach()
  if(concurrency)
    list(REMOVE_ITEM sources ${concurrency})
    lumetra_test_program(test_${name}_concurrency "${concurrency}" "${T_DEPS}" "${T_LIBS}"
                         concurrency)
    if(NOT TARGET concurrency_tests)
      add_custom_target(concurrency_tests)
    endif()
    add_dependencies(concurrency_tests test_${name}_concurrency)
  endif()
  if(sources)
    lumetra_test_program(test_${name} "${sources}" "${T_DEPS}" "${T_LIBS}" "")
  endif()
endfunction()

function(lumetra_test_program target sources deps libs labels)
  add_executable(${target} ${sources})
  target_include_directories(${target} PRIVATE ${PROJECT_SOURCE_DIR}/src ${PROJECT_SOURCE_DIR}/tests)
  foreach(dep IN LISTS deps)
    target_link_libraries(${target} PRIVATE lumetra_${dep})
  endforeach()
  target_link_libraries(${target} PRIVATE ${libs} GTest::gtest GTest::gtest_main GTest::gmock)
  # g++ 12 at -O3 reports -Wrestrict and -Wstringop-overflow inside inlined libstdc++ string
  # and vector code that the tests' fixtures use (known false positives): keep them visible,
  # never fatal.
  if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
    target_compile_options(${target} PRIVATE -Wno-error=restrict -Wno-error=stringop-overflow)
  endif()
  set(properties ENVIRONMENT "LUMETRA_SOURCE_DIR=${PROJECT_SOURCE_DIR}")
  if(labels)
    list(APPEND properties LABELS ${labels})
  endif()
  # Discovery runs the program once; sanitizer start-up on a loaded machine can be slow.
  gtest_discover_tests(${target} DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 60
                       PROPERTIES ${properties})
endfunction()

# lumetra_use_test_formats(<test target>): the test program gets the test format library
# of tests/plugins (target lumetra_test_formats: TGA and WAV read and written, numbered TGA
# files) built first, and its path as the compile definition LUMETRA_TEST_FORMATS_PATH, to
# load it through the library loader.
set(LUMETRA_TEST_FORMATS_PATH ${PROJECT_BINARY_DIR}/tests/plugins/lib/TestFormats.ztl)
function(lumetra_use_test_formats target)
  add_dependencies(${target} lumetra_test_formats)
  target_compile_definitions(${target}
                             PRIVATE LUMETRA_TEST_FORMATS_PATH="${LUMETRA_TEST_FORMATS_PATH}")
endfunction()
