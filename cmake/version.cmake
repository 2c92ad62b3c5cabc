# Every program prints the project's version with --version.
function(pagora_program_versions)
  foreach(program IN ITEMS pagora corvane pagora-cli corvane-cli pvsim)
    if(TARGET ${program})
      target_compile_definitions(${program} PRIVATE PAGORA_VERSION="${PROJECT_VERSION}")
    endif()
  endforeach()
endfunction()
