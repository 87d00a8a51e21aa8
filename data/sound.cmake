# Sound effects and music. Every recipe in data/sfx/ becomes a 16-bit WAV in
# "sfx\", every song in data/music/ a tracker module (XM) in "music\"; the
# menu theme is also encoded as an MP3 (one repetition of its loop, gapless)
# so that the program can stream it straight out of the archive. Zapkin.ini,
# which names them all, is copied beside them.

set(VGR_SFX_DIR ${CMAKE_CURRENT_SOURCE_DIR}/sfx)
set(VGR_MUSIC_DIR ${CMAKE_CURRENT_SOURCE_DIR}/music)
set(_vgr_sound_outputs "")

file(GLOB _vgr_sfx CONFIGURE_DEPENDS ${VGR_SFX_DIR}/*.sfx)
foreach(_src ${_vgr_sfx})
  get_filename_component(_name ${_src} NAME_WE)
  set(_out ${VGR_STAGE}/sfx/${_name}.wav)
  add_custom_command(
    OUTPUT ${_out}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${VGR_STAGE}/sfx
    COMMAND vgrdata sound ${_src} ${_out}
    DEPENDS vgrdata ${_src}
    COMMENT "Rendering the sound effect ${_name}.wav"
    VERBATIM)
  list(APPEND _vgr_sound_outputs ${_out})
endforeach()

# Songs share the instruments of the *.inc files beside them.
file(GLOB _vgr_songs CONFIGURE_DEPENDS ${VGR_MUSIC_DIR}/*.song)
file(GLOB _vgr_song_includes CONFIGURE_DEPENDS ${VGR_MUSIC_DIR}/*.inc)
foreach(_src ${_vgr_songs})
  get_filename_component(_name ${_src} NAME_WE)
  set(_out ${VGR_STAGE}/music/${_name}.xm)
  add_custom_command(
    OUTPUT ${_out}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${VGR_STAGE}/music
    COMMAND vgrdata music build ${_src} ${_out}
    DEPENDS vgrdata ${_src} ${_vgr_song_includes}
    COMMENT "Building the song ${_name}.xm"
    VERBATIM)
  list(APPEND _vgr_sound_outputs ${_out})
endforeach()

set(_vgr_mp3 ${VGR_STAGE}/music/theme.mp3)
add_custom_command(
  OUTPUT ${_vgr_mp3}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${VGR_STAGE}/music
  COMMAND vgrdata music mp3 ${VGR_MUSIC_DIR}/theme.song ${_vgr_mp3}
  DEPENDS vgrdata ${VGR_MUSIC_DIR}/theme.song ${_vgr_song_includes}
  COMMENT "Encoding the menu theme as theme.mp3"
  VERBATIM)
list(APPEND _vgr_sound_outputs ${_vgr_mp3})

set(_vgr_ini ${VGR_STAGE}/Zapkin.ini)
add_custom_command(
  OUTPUT ${_vgr_ini}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${VGR_STAGE}
  COMMAND ${CMAKE_COMMAND} -E copy ${CMAKE_CURRENT_SOURCE_DIR}/Zapkin.ini ${_vgr_ini}
  DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/Zapkin.ini
  COMMENT "Copying Zapkin.ini"
  VERBATIM)
list(APPEND _vgr_sound_outputs ${_vgr_ini})

list(APPEND VGR_STAGE_OUTPUTS ${_vgr_sound_outputs})
# Builds the sounds and songs alone (the archive target builds them anyway).
add_custom_target(vgr_sound_data DEPENDS ${_vgr_sound_outputs})
