# The pictures and the definitions that go with them. "vgrdata art build"
# draws every picture of data/art/ (the palette lab.pal and the *.art
# sources) and writes the TGA files into the archive's folders ("gfx\",
# "prof\", "obj\", the monster sheets and moreblk.tga at the top). The
# object and monster definitions, the scroller's text and the empty level
# template are copied beside them; the level pieces go into Zapkin.mpk
# (maps.cmake).

set(VGR_ART_DIR ${CMAKE_CURRENT_SOURCE_DIR}/art)
# The outline fonts of the "text" command (shared with fonts.cmake).
set(VGR_FONT_DIR /usr/share/fonts/truetype/dejavu CACHE PATH "Folder of the DejaVu TrueType fonts")
file(GLOB _vgr_art_sources CONFIGURE_DEPENDS ${VGR_ART_DIR}/*.pal ${VGR_ART_DIR}/*.art)

# One run draws all pictures (they stamp each other); the stamp file outside
# the staging folder stands for all of them.
set(_vgr_art_stamp ${CMAKE_BINARY_DIR}/data-art.stamp)
add_custom_command(
  OUTPUT ${_vgr_art_stamp}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${VGR_STAGE}
  COMMAND vgrdata art build ${VGR_STAGE} --fonts ${VGR_FONT_DIR} ${_vgr_art_sources}
  COMMAND ${CMAKE_COMMAND} -E touch ${_vgr_art_stamp}
  DEPENDS vgrdata ${_vgr_art_sources}
  COMMENT "Drawing the pictures"
  VERBATIM)
set(_vgr_art_outputs ${_vgr_art_stamp})

foreach(_file objects.lst monsters.txt scroll.txt maps/empty.mpp)
  get_filename_component(_name ${_file} NAME)
  set(_out ${VGR_STAGE}/${_name})
  add_custom_command(
    OUTPUT ${_out}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${VGR_STAGE}
    COMMAND ${CMAKE_COMMAND} -E copy ${CMAKE_CURRENT_SOURCE_DIR}/${_file} ${_out}
    DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/${_file}
    COMMENT "Copying ${_name}"
    VERBATIM)
  list(APPEND _vgr_art_outputs ${_out})
endforeach()

list(APPEND VGR_STAGE_OUTPUTS ${_vgr_art_outputs})
# Builds the pictures alone (the archive target builds them anyway).
add_custom_target(vgr_art_data DEPENDS ${_vgr_art_outputs})
