# The game's exit hand-off to the launcher and its out-of-memory exits, with
# a preloaded shim that records the handler's calls and refuses allocations.
add_library(handoff_shim SHARED ${CMAKE_CURRENT_SOURCE_DIR}/handoff_shim.c)
target_link_libraries(handoff_shim PRIVATE ${CMAKE_DL_LIBS})
set_target_properties(handoff_shim PROPERTIES PREFIX "")

foreach(mode launcher memory)
  add_test(NAME exit_handoff_${mode}
    COMMAND sh ${CMAKE_CURRENT_SOURCE_DIR}/handoff.sh ${mode} $<TARGET_FILE:jadeturtle>
            $<TARGET_FILE:e2e_helper> $<TARGET_FILE:handoff_shim>)
  set_tests_properties(exit_handoff_${mode} PROPERTIES
    ENVIRONMENT "JT_RUN_PREFIX=${JT_RUN_PREFIX}" TIMEOUT 600)
endforeach()
