# What the Windows build leaves out of the test programs, and why: the behaviour these check is
# the same code as on Linux, but the tests drive it with POSIX means Windows does not have.

# Whole files, named from tests/.
set(PAGORA_EXCLUDED_TEST_SOURCES
    # start the Linux programs as child processes (fork, waitpid, pipes); the Windows programs
    # are tried by tests/windows/windows_programs_test.sh instead
    adt/cli_adt_test.cpp
    book/book_command_test.cpp
    book/book_convert_test.cpp
    text/cli_recode_test.cpp
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
    # make open() fail by wrapping it through dlsym(RTLD_NEXT), which Windows has no match for
    archive/output_open_test.cpp)

# Single cases, per test program, as GoogleTest filter patterns: PAGORA_WINDOWS_EXCLUDED_<program>.
# Cases that cannot even be compiled for Windows sit inside #ifndef _WIN32 and are listed here
# all the same, so that this file names every case Windows does not run.
set(PAGORA_WINDOWS_EXCLUDED_adt_tests
    # a folder in place of the archive: POSIX opens it and the read fails ("Error on copy"),
    # Windows refuses the open ("Error on open input file"); both keep the older file
    AdtTest.CopyReportsItsFailuresAndKeepsAnOlderFile)
set(PAGORA_WINDOWS_EXCLUDED_archive_tests
    # a full disk simulated with setrlimit(RLIMIT_FSIZE) in a fork()ed child
    ComponentCompress.FullDiskKeepsThePreviousArchive
    # a file made unreadable with chmod 0: Windows has no such mode
    ComponentCompress.UnreadableFileRaisesOrIsSkipped
    # the first run is held in a fork()ed child between two pipes
    TwoRuns.*
    # symbolic links: Windows makes none without special rights (Wine: "Function not implemented")
    SafetyPaths.SymbolicLinksInTheTargetAreNeverFollowed)
set(PAGORA_WINDOWS_EXCLUDED_text_tests
    # POSIX permission bits (0640) kept through a symbolic link
    TextBuffer.SaveKeepsPermissionsAndWritesThroughLinks
    # a full disk simulated with setrlimit(RLIMIT_FSIZE) and SIGXFSZ
    TextBuffer.WriteFailingMidwayLeavesTheOldFile
    # starts the Linux pagora-cli through a shell
    Tidy.CommandKeepsLineEndsAndLeavesTidyFilesAlone)
