# The Windows build made on Linux with MinGW-w64 (cmake/mingw-w64.cmake): the Qt-free libraries,
# pagora-cli.exe and corvane-cli.exe, and their tests run under Wine.

# No Qt for Windows here, and no expat or libzip for MinGW: FB2/EPUB import stays out. (The
# simulator needs a POSIX pseudo-terminal; the top-level list leaves it out of every WIN32 build.)
set(PAGORA_GUI OFF CACHE BOOL "Build the Qt programs" FORCE)
set(PAGORA_BOOK_IMPORT OFF CACHE BOOL "Read FB2 and EPUB books (expat, libzip)" FORCE)

# Kept within a few minutes on two cores: -O2 rather than -O3 for the programs and libraries,
# and the test programs found at test time instead of started under Wine after each link.
set(CMAKE_CXX_FLAGS_RELEASE "-O2 -DNDEBUG")
set(CMAKE_GTEST_DISCOVER_TESTS_DISCOVERY_MODE PRE_TEST)

# Windows behaviour in the libraries: wide-character file calls behind UTF-8 names.
add_subdirectory(${PROJECT_SOURCE_DIR}/platform/windows ${PROJECT_BINARY_DIR}/platform_windows)
target_link_libraries(project_options INTERFACE platform_windows_options)

# CLI11 is header-only; the host's headers are used without the rest of /usr/include.
set(cli11_root ${PROJECT_BINARY_DIR}/cli11)
file(COPY /usr/include/CLI DESTINATION ${cli11_root}/include)
file(WRITE ${cli11_root}/CLI11Config.cmake
"if(NOT TARGET CLI11::CLI11)
  add_library(CLI11::CLI11 INTERFACE IMPORTED)
  set_target_properties(CLI11::CLI11 PROPERTIES INTERFACE_INCLUDE_DIRECTORIES ${cli11_root}/include)
endif()
set(CLI11_FOUND TRUE)
")
set(CLI11_DIR ${cli11_root} CACHE PATH "CLI11 for the Windows build" FORCE)

# GoogleTest from Debian's sources, built with the cross compiler.
if(PAGORA_TESTS)
  set(BUILD_GMOCK ON CACHE BOOL "" FORCE)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  set(gtest_disable_pthreads OFF CACHE BOOL "" FORCE)
  add_subdirectory(/usr/src/googletest ${PROJECT_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
  foreach(library IN ITEMS gtest gtest_main gmock gmock_main)
    if(NOT TARGET GTest::${library})
      add_library(GTest::${library} ALIAS ${library})
    endif()
  endforeach()
endif()

# Called once every folder is in: the two programs take wmain (-municode) and their tests run
# them through Wine.
function(pagora_windows_programs)
  foreach(program IN ITEMS pagora-cli corvane-cli)
    target_compile_definitions(${program} PRIVATE main=pagora_utf8_main)
    target_link_libraries(${program} PRIVATE platform_windows_main)
    target_link_options(${program} PRIVATE -municode)
  endforeach()
endfunction()

# A test program of the Windows build is one CTest test run under Wine, less the cases that
# need POSIX (tests/windows/excluded_tests.cmake lists them with the reason).
include(${PROJECT_SOURCE_DIR}/tests/windows/excluded_tests.cmake)
function(pagora_windows_test name)
  set(filter "")
  if(DEFINED PAGORA_WINDOWS_EXCLUDED_${name})
    list(JOIN PAGORA_WINDOWS_EXCLUDED_${name} ":" excluded)
    set(filter "--gtest_filter=-${excluded}")
  endif()
  # The test code itself is assertions: -O1 compiles it a fifth faster than -O2.
  target_compile_options(${name} PRIVATE -O1)
  add_test(NAME ${name} COMMAND ${name} ${filter})
  set_tests_properties(${name} PROPERTIES ENVIRONMENT "WINEDEBUG=-all")
endfunction()
