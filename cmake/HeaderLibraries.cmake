# The header-only libraries the tools use, from Debian packages:
#   vorlant_json   nlohmann-json (nlohmann-json3-dev), the settings files
#   vorlant_cli11  CLI11 (libcli11-dev), the command lines
#
# They serve every build, the mingw cross build included. That compiler
# must not search /usr/include (the host's C library headers would shadow
# its own), so each library's own folder is linked into one folder of the
# build tree, and only that folder goes on the include path. It is a
# system include folder: the project's warnings-as-errors stay with the
# project's own code.
set(VORLANT_HEADER_LIBRARIES_DIR ${CMAKE_BINARY_DIR}/header-libraries)

function(vorlant_header_library target folder package)
  set(source /usr/include/${folder})
  if(NOT EXISTS ${source}/)
    message(FATAL_ERROR "${source} not found (Debian package ${package}; scripts/setup.sh installs it)")
  endif()
  file(MAKE_DIRECTORY ${VORLANT_HEADER_LIBRARIES_DIR})
  file(CREATE_LINK ${source} ${VORLANT_HEADER_LIBRARIES_DIR}/${folder} SYMBOLIC)
  add_library(${target} INTERFACE)
  target_include_directories(${target} SYSTEM INTERFACE ${VORLANT_HEADER_LIBRARIES_DIR})
endfunction()

if(NOT TARGET vorlant_json)
  vorlant_header_library(vorlant_json nlohmann nlohmann-json3-dev)
  vorlant_header_library(vorlant_cli11 CLI libcli11-dev)
endif()
