# Every program prints the project's version with --version.
function(pagora_program_versions)
  foreach(program IN LISTS PAGORA_PROGRAMS)
    target_compile_definitions(${program} PRIVATE PAGORA_VERSION="${PROJECT_VERSION}")
  endforeach()
endfunction()
