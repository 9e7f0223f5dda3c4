# Generates the game's data/ directory in the build tree from the sources in
# tools/art/ with the generator programs of tools/: tile sets, backgrounds,
# sound effects, music, and the font copied from the system.
#
# A cross-build cannot run the generators it builds; it sets
# JT_BUILD_ASSETS=OFF and JT_DATA_FROM to the data/ directory of a native
# build, which is then copied as it is.

option(JT_BUILD_ASSETS "Generate data/ by running the asset generators" ON)
set(JT_DATA_FROM "" CACHE PATH "data/ directory to copy when JT_BUILD_ASSETS is OFF")
set(JT_FONT_FILE "/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf"
    CACHE FILEPATH "Bold TrueType font installed as data/font/ariblk.ttf")
set(JT_FONT_LICENSE "/usr/share/doc/fonts-dejavu-core/copyright"
    CACHE FILEPATH "Licence of that font, installed beside it")

set(JT_ART ${CMAKE_SOURCE_DIR}/tools/art)
set(JT_DATA ${CMAKE_BINARY_DIR}/data)

if(JT_BUILD_ASSETS)
  set(JT_TILESET_COUNT 3)
  set(JT_BACKGROUND_COUNT 4)
  set(JT_MUSIC_COUNT 4)

  file(MAKE_DIRECTORY ${JT_DATA}/image/background ${JT_DATA}/sound/music ${JT_DATA}/font)

  set(tiles_out "")
  math(EXPR last "${JT_TILESET_COUNT} - 1")
  foreach(i RANGE ${last})
    list(APPEND tiles_out ${JT_DATA}/image/tiles${i}.pcx)
  endforeach()
  add_custom_command(OUTPUT ${tiles_out}
    COMMAND $<TARGET_FILE:make_tiles> ${JT_ART}/faces.txt ${JT_ART}/tilesets.txt ${JT_DATA}/image
    DEPENDS make_tiles ${JT_ART}/faces.txt ${JT_ART}/tilesets.txt
    COMMENT "Painting the tile sets" VERBATIM)

  set(bg_out "")
  math(EXPR last "${JT_BACKGROUND_COUNT} - 1")
  foreach(i RANGE ${last})
    list(APPEND bg_out ${JT_DATA}/image/background/bg${i}.pcx)
  endforeach()
  add_custom_command(OUTPUT ${bg_out}
    COMMAND $<TARGET_FILE:make_backgrounds> ${JT_ART}/backgrounds.txt ${JT_DATA}/image/background
    DEPENDS make_backgrounds ${JT_ART}/backgrounds.txt
    COMMENT "Painting the backgrounds" VERBATIM)

  add_custom_command(OUTPUT ${JT_DATA}/sound/snd0.wav ${JT_DATA}/sound/snd1.wav
    COMMAND $<TARGET_FILE:make_sounds> ${JT_DATA}/sound
    DEPENDS make_sounds
    COMMENT "Synthesising the sound effects" VERBATIM)

  set(music_out "")
  math(EXPR last "${JT_MUSIC_COUNT} - 1")
  foreach(i RANGE ${last})
    add_custom_command(OUTPUT ${JT_DATA}/sound/music/bgm${i}.mid
      COMMAND $<TARGET_FILE:make_music> ${JT_ART}/music/bgm${i}.txt
              ${JT_DATA}/sound/music/bgm${i}.mid
      DEPENDS make_music ${JT_ART}/music/bgm${i}.txt
      COMMENT "Writing music bgm${i}.mid" VERBATIM)
    list(APPEND music_out ${JT_DATA}/sound/music/bgm${i}.mid)
  endforeach()

  if(NOT EXISTS ${JT_FONT_FILE})
    message(WARNING "Font ${JT_FONT_FILE} not found: install fonts-dejavu-core (scripts/setup.sh)")
  endif()
  add_custom_command(OUTPUT ${JT_DATA}/font/ariblk.ttf ${JT_DATA}/font/LICENSE.txt
    COMMAND ${CMAKE_COMMAND} -E copy ${JT_FONT_FILE} ${JT_DATA}/font/ariblk.ttf
    COMMAND ${CMAKE_COMMAND} -E copy ${JT_FONT_LICENSE} ${JT_DATA}/font/LICENSE.txt
    DEPENDS ${JT_FONT_FILE} ${JT_FONT_LICENSE}
    COMMENT "Installing the font" VERBATIM)

  add_custom_target(assets ALL DEPENDS ${tiles_out} ${bg_out} ${JT_DATA}/sound/snd0.wav
    ${JT_DATA}/sound/snd1.wav ${music_out} ${JT_DATA}/font/ariblk.ttf ${JT_DATA}/font/LICENSE.txt)
elseif(JT_DATA_FROM)
  add_custom_target(assets ALL
    COMMAND ${CMAKE_COMMAND} -E copy_directory ${JT_DATA_FROM} ${JT_DATA}
    COMMENT "Copying data/ from ${JT_DATA_FROM}" VERBATIM)
endif()
