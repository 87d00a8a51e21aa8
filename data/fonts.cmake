# The game's six bitmap fonts, rendered from the DejaVu outline fonts that
# Debian ships (fonts-dejavu-core) with FreeType, into "font\":
#   hamp.zrr     the "Loading..." line: 1-bit 9 by 15 cells (one row more for
#                the descenders of g, q and y), crisp monospaced bold
#   lilnums.tga  the cell-type debug overlay: tiny digits drawn with spacing
#                -1, two of them fit a 16-pixel cell; glyphs are widened where
#                their ink would touch the next one
#   dfont.tga    titles and menu rows (30 pixels high), bold
#   ifont.tga    credits and completion texts, lines 40 pixels apart
#   scrfnt.tga   the scroller (30-pixel band): the menu turns every non-black
#                pixel into a near-black silhouette, so faint edges are cut
#   scoref.tga   the score line, drawn with fixed width 13 in 20 rows
# Every font holds the printable ASCII characters 32 to 126. The TGA fonts are
# anti-aliased grey on black so that recolouring tints them; lilnums is
# rendered in one bit because anti-aliasing smears digits that small.

set(VGR_FONT_DIR /usr/share/fonts/truetype/dejavu CACHE PATH "Folder of the DejaVu TrueType fonts")

function(vgr_font_face var file)
  find_file(${var} ${file} HINTS ${VGR_FONT_DIR} PATH_SUFFIXES truetype/dejavu dejavu NO_CACHE)
  if(NOT ${var})
    message(FATAL_ERROR "${file} not found in ${VGR_FONT_DIR}: install fonts-dejavu-core or set VGR_FONT_DIR")
  endif()
  set(${var} ${${var}} PARENT_SCOPE)
endfunction()

vgr_font_face(_vgr_sans DejaVuSans.ttf)
vgr_font_face(_vgr_sans_bold DejaVuSans-Bold.ttf)
vgr_font_face(_vgr_mono_bold DejaVuSansMono-Bold.ttf)

set(_vgr_font_outputs "")

# vgr_font(<file in font\> <face> <pixel size> [options of "vgrdata font build"])
function(vgr_font name face size)
  set(_out ${VGR_STAGE}/font/${name})
  add_custom_command(
    OUTPUT ${_out}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${VGR_STAGE}/font
    COMMAND vgrdata font build ${_out} --face ${face} --size ${size} ${ARGN}
    DEPENDS vgrdata ${face}
    COMMENT "Rendering the font ${name}"
    VERBATIM)
  set(_vgr_font_outputs ${_vgr_font_outputs} ${_out} PARENT_SCOPE)
endfunction()

vgr_font(hamp.zrr ${_vgr_mono_bold} 14 --cell 9)
vgr_font(lilnums.tga ${_vgr_sans} 9 --mode mono --spacing -1 --gap 1)
vgr_font(dfont.tga ${_vgr_sans_bold} 22)
vgr_font(ifont.tga ${_vgr_sans} 21)
vgr_font(scrfnt.tga ${_vgr_sans_bold} 26 --cut 100)
vgr_font(scoref.tga ${_vgr_mono_bold} 18 --spacing 0)

list(APPEND VGR_STAGE_OUTPUTS ${_vgr_font_outputs})
# Builds the fonts alone (the archive target builds them anyway).
add_custom_target(vgr_font_data DEPENDS ${_vgr_font_outputs})
