# End-to-end test: the real game in a virtual X server at 16-bit depth,
# played from start to an empty board through the pointer and the keyboard.
add_executable(e2e_helper ${CMAKE_CURRENT_SOURCE_DIR}/e2e_helper.cpp)
target_link_libraries(e2e_helper PRIVATE jadeturtle_core jadeturtle_testsupport)

# Preloaded into the game: fixes its random seed and counts presented frames.
add_library(e2e_shim SHARED ${CMAKE_CURRENT_SOURCE_DIR}/e2e_shim.c)
target_compile_options(e2e_shim PRIVATE ${SDL_CFLAGS})
target_link_libraries(e2e_shim PRIVATE ${CMAKE_DL_LIBS})
set_target_properties(e2e_shim PROPERTIES PREFIX "")

# Cross-built, the game and the helper run under the emulator (JT_RUN_PREFIX)
# as clients of the native virtual X server, with the ARM shim preloaded
# into the emulated game.
add_test(NAME e2e_play_whole_deal
  COMMAND sh ${CMAKE_CURRENT_SOURCE_DIR}/e2e.sh
          $<TARGET_FILE:jadeturtle> $<TARGET_FILE:e2e_helper> $<TARGET_FILE:e2e_shim>)
set_tests_properties(e2e_play_whole_deal PROPERTIES TIMEOUT 900 RUN_SERIAL TRUE
  ENVIRONMENT "JT_RUN_PREFIX=${JT_RUN_PREFIX}")
