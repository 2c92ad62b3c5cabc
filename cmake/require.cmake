# A dependency that is missing stops the configuration with the Debian package that provides it,
# rather than leaving a feature or its tests out without a word.
macro(pagora_require_package package debian_package)
  find_package(${package} ${ARGN} QUIET)
  if(NOT ${package}_FOUND)
    message(FATAL_ERROR "${package} was not found: install the Debian package ${debian_package} "
                        "(make deps installs every package the build needs)")
  endif()
endmacro()

# A program the build runs, in `variable`.
macro(pagora_require_program variable program debian_package)
  find_program(${variable} ${program})
  if(NOT ${variable})
    message(FATAL_ERROR "${program} was not found: install the Debian package ${debian_package} "
                        "(make deps installs every package the build needs)")
  endif()
endmacro()

# The same for a pkg-config module, as the imported target PkgConfig::<prefix>.
macro(pagora_require_module prefix module debian_package)
  pagora_require_package(PkgConfig pkg-config)
  pkg_check_modules(${prefix} QUIET IMPORTED_TARGET GLOBAL ${module})
  if(NOT ${prefix}_FOUND)
    message(FATAL_ERROR "${module} was not found: install the Debian package ${debian_package} "
                        "(make deps installs every package the build needs)")
  endif()
endmacro()
