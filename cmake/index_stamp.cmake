# The index's build stamp: a header with a hash of the engine's sources and
# the record codec, so that an index written by another build is made anew.
# velmora_index_stamp(TARGET ROOT) adds it to TARGET's sources and include
# path (ROOT is the source tree's top folder).
function(velmora_index_stamp target root)
  file(GLOB stamped CONFIGURE_DEPENDS ${root}/engine/*.cpp ${root}/engine/*.h
       ${root}/index/record_codec.*)
  set(stamp_header ${CMAKE_BINARY_DIR}/generated/index_stamp.h)
  add_custom_command(OUTPUT ${stamp_header}
    COMMAND ${CMAKE_COMMAND} -DOUT=${stamp_header} "-DFILES=${stamped}"
            -P ${root}/scripts/index_stamp.cmake
    DEPENDS ${stamped} ${root}/scripts/index_stamp.cmake VERBATIM)
  target_sources(${target} PRIVATE ${stamp_header})
  target_include_directories(${target} PRIVATE ${CMAKE_BINARY_DIR}/generated)
endfunction()
