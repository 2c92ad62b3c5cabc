// What the sanitizer builds must know about the GUI libraries these tests load.

// fontconfig keeps a few small blocks of its font cache until the process ends; they are not
// ours to free, so the leak checker of the sanitizer build leaves them out.
extern "C" const char* __lsan_default_suppressions() {
  return "leak:libfontconfig.so\n";
}
