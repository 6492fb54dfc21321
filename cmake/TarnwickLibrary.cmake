# tarnwick_library(NAME PREFIX prefix SOURCES file... [PUBLIC dep...] [PRIVATE dep...])
#
# A static library of one folder whose headers are included as
# "prefix/Name.h" (for example "TarnwickCore/Scan/FastBulkScanner.h"). Its
# public include directory, in the build tree, holds nothing but a link
# named `prefix` to that folder. A target therefore sees the headers of
# exactly the libraries it links: an include that skips a declared
# dependency does not compile.
function(tarnwick_library name)
  cmake_parse_arguments(PARSE_ARGV 1 ARG "" "PREFIX" "SOURCES;PUBLIC;PRIVATE")
  add_library(${name} STATIC ${ARG_SOURCES})
  set(root ${CMAKE_BINARY_DIR}/include/${name})
  set(link ${root}/${ARG_PREFIX})
  get_filename_component(linkParent ${link} DIRECTORY)
  file(MAKE_DIRECTORY ${linkParent})
  file(CREATE_LINK ${CMAKE_CURRENT_SOURCE_DIR} ${link} SYMBOLIC)
  target_include_directories(${name} PUBLIC ${root})
  target_link_libraries(${name} PUBLIC ${ARG_PUBLIC} PRIVATE ${ARG_PRIVATE})
endfunction()
