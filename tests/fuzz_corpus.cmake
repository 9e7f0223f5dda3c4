# Replays the committed fuzz corpora (seeds and every input that once found
# a fault) through their harnesses; see cmake/parts/fuzz.cmake.
foreach(src ${JT_FUZZ_HARNESSES})
  get_filename_component(name ${src} NAME_WE)
  string(REGEX REPLACE "^fuzz_" "" harness ${name})
  if(TARGET replay_${harness})
    add_test(NAME fuzz_corpus_${harness}
      COMMAND replay_${harness} ${CMAKE_SOURCE_DIR}/fuzz/corpus/${harness}
      WORKING_DIRECTORY ${CMAKE_BINARY_DIR})
    set_tests_properties(fuzz_corpus_${harness} PROPERTIES
      ENVIRONMENT "SDL_VIDEODRIVER=dummy;SDL_AUDIODRIVER=dummy")
  endif()
endforeach()
