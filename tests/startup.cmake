# The game executable as a process: exported symbol and start-up failure.
add_test(NAME startup_process COMMAND sh ${CMAKE_CURRENT_SOURCE_DIR}/startup.sh
                                      $<TARGET_FILE:jadeturtle>)
set_tests_properties(startup_process PROPERTIES
  ENVIRONMENT "NM=${CMAKE_NM};JT_RUN_PREFIX=${JT_RUN_PREFIX}")
