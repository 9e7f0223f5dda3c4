# End-to-end test: the real game in a virtual X server at 16-bit depth,
# played from start to an empty board through the pointer and the keyboard.
add_executable(e2e_helper ${CMAKE_CURRENT_SOURCE_DIR}/e2e_helper.cpp)
target_link_libraries(e2e_helper PRIVATE jadeturtle_core jadeturtle_toollib)

# Preloaded into the game: fixes its random seed and counts presented frames.
add_library(e2e_shim SHARED ${CMAKE_CURRENT_SOURCE_DIR}/e2e_shim.c)
target_compile_options(e2e_shim PRIVATE ${SDL_CFLAGS})
target_link_libraries(e2e_shim PRIVATE ${CMAKE_DL_LIBS})
set_target_properties(e2e_shim PROPERTIES PREFIX "")

if(CMAKE_CROSSCOMPILING)
  # The handheld build has no X server to play in under user-mode emulation;
  # the test is reported as skipped there, with its reason.
  add_test(NAME e2e_play_whole_deal
    COMMAND sh -c "echo 'skipped: the end-to-end run needs a native X server'; exit 77")
  set_tests_properties(e2e_play_whole_deal PROPERTIES SKIP_RETURN_CODE 77)
  return()
endif()
add_test(NAME e2e_play_whole_deal
  COMMAND sh ${CMAKE_CURRENT_SOURCE_DIR}/e2e.sh
          $<TARGET_FILE:jadeturtle> $<TARGET_FILE:e2e_helper> $<TARGET_FILE:e2e_shim>)
set_tests_properties(e2e_play_whole_deal PROPERTIES TIMEOUT 900 RUN_SERIAL TRUE)
