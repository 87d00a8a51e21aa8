# The game's six bitmap fonts, all built from one pixel alphabet drawn for
# the game (data/fonts/alphabet.txt: capitals 7 pixels high, descenders 3)
# by "vgrdata font build --pixels", into "font\":
#   hamp.zrr     the "Loading..." line: the alphabet doubled and emboldened,
#                1-bit cells of 13 by 20 (one row more for the descenders of
#                g, q and y, which reach 6 rows below the baseline)
#   lilnums.tga  the cell-type debug overlay: the alphabet as drawn, drawn
#                with spacing -1; two digits fit a 16-pixel cell
#   dfont.tga    titles and menu rows (30 pixels high): doubled, strokes of
#                3 by 3, grey lit from above with bright top/left and dark
#                bottom/right edges, so that the game's recolouring tints a
#                shaded letter; 21 rows
#   ifont.tga    credits and completion texts, lines 40 pixels apart: as
#                dfont in steel blue with a shadow; 22 rows
#   scrfnt.tga   the scroller (30-pixel band): the alphabet tripled, exactly
#                30 rows; the menu turns every non-black pixel into a
#                near-black silhouette
#   scoref.tga   the score line, drawn with fixed width 13 in 20 rows:
#                doubled, strokes 3 wide (not taller, the line has 20 rows),
#                in the gold of the lives digits; every box exactly 13 wide
# Every font holds the printable ASCII characters 32 to 126. Only dfont is
# recoloured by the game, so only dfont must stay grey on black; the others
# keep the colours they are built with.

set(VGR_FONT_ALPHABET ${CMAKE_CURRENT_SOURCE_DIR}/fonts/alphabet.txt)

set(_vgr_font_outputs "")

# vgr_font(<file in font\> [options of "vgrdata font build"])
function(vgr_font name)
  set(_out ${VGR_STAGE}/font/${name})
  add_custom_command(
    OUTPUT ${_out}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${VGR_STAGE}/font
    COMMAND vgrdata font build ${_out} --pixels ${VGR_FONT_ALPHABET} ${ARGN}
    DEPENDS vgrdata ${VGR_FONT_ALPHABET}
    COMMENT "Building the font ${name}"
    VERBATIM)
  set(_vgr_font_outputs ${_vgr_font_outputs} ${_out} PARENT_SCOPE)
endfunction()

vgr_font(hamp.zrr --scale 2 --bold)
vgr_font(lilnums.tga --spacing -1 --gap 1)
vgr_font(dfont.tga --scale 2 --bold --bold-down --ramp ffffff,f0f0f0,e0e0e0,d0d0d0,c0c0c0,b0b0b0 --light ffffff --dark 707070)
vgr_font(ifont.tga --scale 2 --bold --bold-down --ramp e8f0ff,c8d8f0,a8bcd8,90a4c4 --light f8fcff --dark 607490 --shadow 283040)
vgr_font(scrfnt.tga --scale 3)
# The gold of the lives digits (data/art/lab.pal: G g Y y).
vgr_font(scoref.tga --scale 2 --bold --spacing 0 --ramp fff0a0,d8a836,d8a836,9c701e --light fff0a0 --dark 5c3e12)

list(APPEND VGR_STAGE_OUTPUTS ${_vgr_font_outputs})
# Builds the fonts alone (the archive target builds them anyway).
add_custom_target(vgr_font_data DEPENDS ${_vgr_font_outputs})
