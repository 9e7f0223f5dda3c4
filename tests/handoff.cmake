# The game's exit hand-off to the launcher and its out-of-memory exits, with
# a preloaded shim that records the handler's calls and refuses allocations.
add_library(handoff_shim SHARED ${CMAKE_CURRENT_SOURCE_DIR}/handoff_shim.c)
target_link_libraries(handoff_shim PRIVATE ${CMAKE_DL_LIBS})
set_target_properties(handoff_shim PROPERTIES PREFIX "")
if(JT_SANITIZE)
  # Preloaded into the programs the game starts too (the sanitizers'
  # symbolizer has no sanitizer runtime), so it stays uninstrumented.
  target_compile_options(handoff_shim PRIVATE -fno-sanitize=all)
  target_link_options(handoff_shim PRIVATE -fno-sanitize=all)
endif()

foreach(mode launcher memory)
  set(name exit_handoff_${mode})
  if(JT_SANITIZE AND mode STREQUAL "memory")
    # The sanitizer's allocator lives in the executable, ahead of any
    # preloaded library, so the shim cannot refuse the game's allocations.
    add_test(NAME ${name}
      COMMAND sh -c "echo 'skipped: a sanitized game allocates through its own runtime'; exit 77")
    set_tests_properties(${name} PROPERTIES SKIP_RETURN_CODE 77)
    continue()
  endif()
  add_test(NAME ${name}
    COMMAND sh ${CMAKE_CURRENT_SOURCE_DIR}/handoff.sh ${mode} $<TARGET_FILE:jadeturtle>
            $<TARGET_FILE:e2e_helper> $<TARGET_FILE:handoff_shim>)
  set_tests_properties(${name} PROPERTIES
    ENVIRONMENT "JT_RUN_PREFIX=${JT_RUN_PREFIX}" TIMEOUT 600)
endforeach()
