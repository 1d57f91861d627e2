# Install rules, manual pages and the Debian package of the suite's programs
# (the list is in cmake/Programs.cmake). Included at the end of the top-level
# CMakeLists.txt, once every tool folder has defined its targets.
include(GNUInstallDirs)

set(TRAIN_PACKAGE_NAME wayside-train-tools)
set(TRAIN_COMPANION_DIR ${CMAKE_INSTALL_LIBEXECDIR}/${TRAIN_PACKAGE_NAME})
set(TRAIN_DOC_DIR ${CMAKE_INSTALL_DATAROOTDIR}/doc/${TRAIN_PACKAGE_NAME})
set(TRAIN_MAN_SOURCE_DIR ${CMAKE_SOURCE_DIR}/man)
set(TRAIN_MAN_DIR ${CMAKE_BINARY_DIR}/man)

option(TRAIN_MAN "Build the manual pages (needs scdoc)" ON)
set(TRAIN_MAN_BUILT OFF)
if(TRAIN_MAN)
  find_program(SCDOC_PROGRAM scdoc)
  if(SCDOC_PROGRAM)
    set(TRAIN_MAN_BUILT ON)
  else()
    message(WARNING "scdoc not found: the manual pages are not built (apt-get install scdoc)")
  endif()
endif()

# One line per listed program this build has, for the packaging tests:
# kind, name, usage status, the file to run, its manual page source, and the
# options its usage text does not show.
set(TRAIN_PROGRAM_TABLE "")
set(TRAIN_LISTED_TARGETS "")
set(TRAIN_MAN_PAGES "")

# Builds <name>.1.gz from man/<name>.1.scd and installs it; a listed program
# without a page source is reported (the packaging tests fail on it too).
function(train_man_page name)
  set(src ${TRAIN_MAN_SOURCE_DIR}/${name}.1.scd)
  if(NOT EXISTS ${src})
    message(WARNING "${name} has no manual page: write man/${name}.1.scd")
    return()
  endif()
  if(NOT TRAIN_MAN_BUILT)
    return()
  endif()
  set(page ${TRAIN_MAN_DIR}/${name}.1.gz)
  add_custom_command(OUTPUT ${page}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${TRAIN_MAN_DIR}
    COMMAND sh -c "\"$0\" <\"$1\" | gzip -9n >\"$2\"" ${SCDOC_PROGRAM} ${src} ${page}
    DEPENDS ${src}
    COMMENT "Manual page ${name}(1)"
    VERBATIM)
  install(FILES ${page} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  set(TRAIN_MAN_PAGES ${TRAIN_MAN_PAGES} ${page} PARENT_SCOPE)
endfunction()

function(train_table_row kind name status file options)
  string(REPLACE ";" " " options "${options}")
  set(TRAIN_PROGRAM_TABLE
    "${TRAIN_PROGRAM_TABLE}${kind}\t${name}\t${status}\t${file}\t${TRAIN_MAN_SOURCE_DIR}/${name}.1.scd\t${options}\n"
    PARENT_SCOPE)
endfunction()

# The programs carry the C++ runtime inside them: a site's batch starts
# thousands of them a day, and loading the shared C++ library took about as
# long as a whole small run (1 ms of each start). The sanitizer and fuzz
# builds keep the shared runtime their instrumentation expects.
function(train_static_runtime name)
  if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND NOT TRAIN_SANITIZE AND NOT TRAIN_FUZZ)
    target_link_options(${name} PRIVATE -static-libstdc++ -static-libgcc)
  endif()
endfunction()

function(train_program name status)
  cmake_parse_arguments(ARG "" "" "OPTIONS" ${ARGN})
  set(TRAIN_LISTED_TARGETS ${TRAIN_LISTED_TARGETS} ${name} PARENT_SCOPE)
  if(NOT TARGET ${name})
    return()
  endif()
  train_static_runtime(${name})
  install(TARGETS ${name} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  train_man_page(${name})
  train_table_row(program ${name} ${status} "$<TARGET_FILE:${name}>" "${ARG_OPTIONS}")
  set(TRAIN_MAN_PAGES ${TRAIN_MAN_PAGES} PARENT_SCOPE)
  set(TRAIN_PROGRAM_TABLE "${TRAIN_PROGRAM_TABLE}" PARENT_SCOPE)
endfunction()

function(train_companion name status)
  set(TRAIN_LISTED_TARGETS ${TRAIN_LISTED_TARGETS} ${name} PARENT_SCOPE)
  if(NOT TARGET ${name})
    return()
  endif()
  train_static_runtime(${name})
  install(TARGETS ${name} RUNTIME DESTINATION ${TRAIN_COMPANION_DIR})
  train_table_row(companion ${name} ${status} "$<TARGET_FILE:${name}>" "")
  set(TRAIN_PROGRAM_TABLE "${TRAIN_PROGRAM_TABLE}" PARENT_SCOPE)
endfunction()

function(train_script name source status)
  cmake_parse_arguments(ARG "" "" "OPTIONS" ${ARGN})
  install(PROGRAMS ${CMAKE_SOURCE_DIR}/${source} DESTINATION ${CMAKE_INSTALL_BINDIR} RENAME ${name})
  train_man_page(${name})
  train_table_row(script ${name} ${status} ${CMAKE_SOURCE_DIR}/${source} "${ARG_OPTIONS}")
  set(TRAIN_MAN_PAGES ${TRAIN_MAN_PAGES} PARENT_SCOPE)
  set(TRAIN_PROGRAM_TABLE "${TRAIN_PROGRAM_TABLE}" PARENT_SCOPE)
endfunction()

include(${CMAKE_CURRENT_LIST_DIR}/Programs.cmake)

if(TRAIN_MAN_PAGES)
  add_custom_target(man ALL DEPENDS ${TRAIN_MAN_PAGES})
endif()

# A program built from tools/ but missing from the list would be left out of
# the package without a word: name it.
foreach(dir ${TOOL_DIRS})
  if(EXISTS ${dir}/CMakeLists.txt)
    get_property(targets DIRECTORY ${dir} PROPERTY BUILDSYSTEM_TARGETS)
    foreach(t ${targets})
      get_target_property(type ${t} TYPE)
      if(type STREQUAL "EXECUTABLE" AND NOT t IN_LIST TRAIN_LISTED_TARGETS)
        message(WARNING "Program ${t} is not installed: add its line to cmake/Programs.cmake "
                        "and its manual page man/${t}.1.scd")
      endif()
    endforeach()
  endif()
endforeach()

install(FILES ${CMAKE_SOURCE_DIR}/README.md ${CMAKE_SOURCE_DIR}/tools/trimwell/Passengr.cfg
        DESTINATION ${TRAIN_DOC_DIR})

file(GENERATE OUTPUT ${CMAKE_BINARY_DIR}/packaging/programs.tsv CONTENT "${TRAIN_PROGRAM_TABLE}")

# Debian package: cpack -G DEB in the build tree. The library dependencies
# are read off the programs by dpkg-shlibdeps (dpkg-dev).
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME ${TRAIN_PACKAGE_NAME})
set(CPACK_PACKAGE_VERSION 1.0.0)
set(CPACK_PACKAGE_VENDOR "Wayside train tools")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "tools that inspect, repair and derive wayside train data files")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "Wayside train tools maintainers <root@localhost>")
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
  "Command-line tools for the binary train data files a railway wayside site\n records per train: axle events from detector edges, AB spacing and speed\n repair, scale and tag read checks, reserved-area cleaning, a train\n simulator, and a batch that runs the pipeline over a day of trains.")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_STRIP_FILES ON)
include(CPack)

if(TRAIN_TESTS)
  include(${CMAKE_SOURCE_DIR}/tests/packaging/tests.cmake)
endif()
