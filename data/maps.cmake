# The level pieces: every "*.mpp" map file in data/maps/ goes into the map
# pack "Zapkin.mpk", each named after its file name ("01.mpp" ... "26.mpp").
# "empty.mpp" stays out: the program opens that template by its own name.
# A "chain.txt" beside the maps (one step a line, see `vgrdata pack --help`)
# becomes the pack's chain.
#
# The pack is built as MPCK, the chunked form: it keeps every map file's bytes
# exactly as written, with their length stored, so pieces in any of the four
# map formats go in unchanged and come out of `vgrdata pack extract` byte for
# byte; it is the only form that carries a chain, and a damaged pack is caught
# by the chunk sizes rather than by how text lines happen to fall.
#
# Every pack is checked with `vgrdata level check` before it is staged: a
# piece that breaks a rule of a playable level fails the build with its
# message, and the pack is only moved into place once it passes.
#
# While the folder holds no maps this does nothing.

set(VGR_MAPS_DIR ${CMAKE_CURRENT_SOURCE_DIR}/maps CACHE PATH "Folder of the level pieces packed into Zapkin.mpk")

file(GLOB _vgr_maps CONFIGURE_DEPENDS ${VGR_MAPS_DIR}/*.mpp)
list(FILTER _vgr_maps EXCLUDE REGEX "/[Ee][Mm][Pp][Tt][Yy]\\.[Mm][Pp][Pp]$")

if(_vgr_maps)
  set(_vgr_pack ${VGR_STAGE}/Zapkin.mpk)
  # Built outside the staging folder, so that a pack that fails its check
  # never reaches the archive.
  set(_vgr_pack_checking ${CMAKE_BINARY_DIR}/Zapkin.mpk.checking)
  set(_vgr_chain_args "")
  # Globbed rather than tested, so that adding the file later is noticed.
  file(GLOB _vgr_chain_deps CONFIGURE_DEPENDS ${VGR_MAPS_DIR}/chain.txt)
  if(_vgr_chain_deps)
    set(_vgr_chain_args --chain ${_vgr_chain_deps})
  endif()
  add_custom_command(
    OUTPUT ${_vgr_pack}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${VGR_STAGE}
    COMMAND vgrdata pack build ${_vgr_pack_checking} --format mpck ${_vgr_chain_args} ${_vgr_maps}
    COMMAND vgrdata level check ${_vgr_pack_checking} --objects ${CMAKE_CURRENT_SOURCE_DIR}/objects.lst
    COMMAND ${CMAKE_COMMAND} -E rename ${_vgr_pack_checking} ${_vgr_pack}
    DEPENDS vgrdata ${_vgr_maps} ${_vgr_chain_deps} ${CMAKE_CURRENT_SOURCE_DIR}/objects.lst
    COMMENT "Packing the level pieces into Zapkin.mpk"
    VERBATIM)
  list(APPEND VGR_STAGE_OUTPUTS ${_vgr_pack})
endif()
