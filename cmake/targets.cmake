# Small helpers for the folders under tests/, bench/ and fuzz/.

# One libFuzzer executable per fuzz_*.cpp in the current folder, linked with the given libraries.
function(pagora_fuzz_targets)
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/fuzz_*.cpp)
  foreach(source IN LISTS sources)
    get_filename_component(name ${source} NAME_WE)
    add_executable(${name} ${source})
    target_link_libraries(${name} PRIVATE project_options ${ARGN})
    target_link_options(${name} PRIVATE -fsanitize=fuzzer,address,undefined)
  endforeach()
endfunction()

# One Google Benchmark executable per bench_*.cpp in the current folder.
function(pagora_benchmarks)
  pagora_require_package(benchmark libbenchmark-dev)
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/bench_*.cpp)
  foreach(source IN LISTS sources)
    get_filename_component(name ${source} NAME_WE)
    add_executable(${name} ${source})
    target_link_libraries(${name} PRIVATE project_options benchmark::benchmark ${ARGN})
    target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/bench/support)
    target_compile_definitions(${name} PRIVATE
        PAGORA_SOURCE_DIR="${PROJECT_SOURCE_DIR}"
        PAGORA_BINARY_DIR="${PROJECT_BINARY_DIR}")
  endforeach()
endfunction()

# One GoogleTest executable from every *_test.cpp in the current folder, with the shared test
# helpers (tests/support); tests find the project's folders through PAGORA_SOURCE_DIR and
# PAGORA_BINARY_DIR.
function(pagora_test_executable name)
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*_test.cpp)
  # Files a build leaves out (tests/windows/excluded_tests.cmake), named from tests/.
  foreach(excluded IN LISTS PAGORA_EXCLUDED_TEST_SOURCES)
    list(REMOVE_ITEM sources ${PROJECT_SOURCE_DIR}/tests/${excluded})
  endforeach()
  add_executable(${name} ${sources})
  target_link_libraries(${name} PRIVATE project_options tests_support GTest::gtest_main ${ARGN})
  target_compile_definitions(${name} PRIVATE
      PAGORA_SOURCE_DIR="${PROJECT_SOURCE_DIR}"
      PAGORA_BINARY_DIR="${PROJECT_BINARY_DIR}")
  if(COMMAND pagora_windows_test)
    # Cross-built: one test per program, run under Wine (cmake/windows.cmake).
    pagora_windows_test(${name})
  else()
    gtest_discover_tests(${name} DISCOVERY_TIMEOUT 120
        PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen")
  endif()
endfunction()
