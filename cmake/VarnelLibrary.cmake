# One static library per folder of src/, varnel_<name>, that sees only the
# layers it links. Its headers are included as "<folder>/Header.h"; they are
# found through an include folder of the library's own in the build tree that
# holds one link, <folder> -> the source folder. A library therefore reaches
# the headers of itself and of the libraries it links (PUBLIC, transitively),
# and an #include of any other layer fails to compile.
#
#   varnel_library(<name> [FOLDER <folder below src>] SOURCES ... [LINKS ...] [PRIVATE_LINKS ...])
#
# <name> is the folder's name unless FOLDER says otherwise; LINKS are the
# layers (and system libraries) its headers need, PRIVATE_LINKS those only its
# sources need.
function(varnel_library name)
  cmake_parse_arguments(PARSE_ARGV 1 arg "" "FOLDER" "SOURCES;LINKS;PRIVATE_LINKS")
  if(NOT arg_FOLDER)
    set(arg_FOLDER ${name})
  endif()
  set(target varnel_${name})
  add_library(${target} STATIC ${arg_SOURCES})
  set(root ${CMAKE_BINARY_DIR}/include/${name})
  get_filename_component(parent ${root}/${arg_FOLDER} DIRECTORY)
  file(MAKE_DIRECTORY ${parent})
  file(CREATE_LINK ${PROJECT_SOURCE_DIR}/src/${arg_FOLDER} ${root}/${arg_FOLDER} SYMBOLIC)
  target_include_directories(${target} PUBLIC ${root})
  target_link_libraries(${target} PUBLIC ${arg_LINKS} PRIVATE ${arg_PRIVATE_LINKS})
endfunction()
