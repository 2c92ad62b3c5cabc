# Test cases left out of the Windows build, per test program, as GoogleTest filter patterns.
# Each needs something Windows does not have; the behaviour they check is POSIX-only.
