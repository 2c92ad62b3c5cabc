# What the Windows build leaves out of the test programs, and why: the behaviour these check is
# the same code as on Linux, but the tests drive it with POSIX means Windows does not have.

# Whole files, named from tests/.
set(PAGORA_EXCLUDED_TEST_SOURCES
    # start the Linux programs as child processes (fork, waitpid, pipes); the Windows programs
    # are tried by tests/windows/windows_programs_test.sh instead
    adt/cli_adt_test.cpp
    book/book_command_test.cpp
    text/cli_text_test.cpp
    uploader/cli_test.cpp
    # run the Linux peers lha, bsdtar and 7z on our archives
    archive/lh5_peer_test.cpp
    archive/peer_readers_test.cpp
    # a full disk is simulated with setrlimit(RLIMIT_FSIZE) and SIGXFSZ
    archive/component_compress_test.cpp)

# Single cases, per test program, as GoogleTest filter patterns: PAGORA_WINDOWS_EXCLUDED_<program>.
