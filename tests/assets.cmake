# Asset checks that need the source tree, and the byte-for-byte regeneration
# of data/ from the sources.
if(TARGET test_assets_media)
  target_compile_definitions(test_assets_media PRIVATE JT_SOURCE_DIR="${CMAKE_SOURCE_DIR}")
endif()
if(TARGET test_face_art)
  target_compile_definitions(test_face_art PRIVATE JT_ART_DIR="${CMAKE_SOURCE_DIR}/tools/art")
endif()
  add_test(NAME AssetsRegenerateByteForByte
    COMMAND sh ${CMAKE_CURRENT_SOURCE_DIR}/assets_regenerate.sh
            $<TARGET_FILE:make_tiles> $<TARGET_FILE:make_backgrounds>
            $<TARGET_FILE:make_sounds> $<TARGET_FILE:make_music>
            ${CMAKE_SOURCE_DIR}/tools/art ${CMAKE_BINARY_DIR}/data)
set_tests_properties(AssetsRegenerateByteForByte PROPERTIES
  ENVIRONMENT "JT_RUN_PREFIX=${JT_RUN_PREFIX}")
