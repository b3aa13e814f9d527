# Where the programs go when installed (cmake --install, the Debian package).
#
# The monitor and its database worker share one program folder,
# lib/zova-monitor/, because the monitor starts the worker from its own
# folder and looks for its pictures (BMP/) there too. bin/ holds a relative
# link to each program that lives in the program folder, so the links work
# under any prefix and inside an unpacked package. Tools that need no worker
# are installed straight into bin/.

set(ZOVA_PROGRAM_DIR lib/zova-monitor)

# zova_install_in_program_folder(<target> [LINK]): installs the executable
# into the program folder; with LINK also a link of the same name in bin/.
function(zova_install_in_program_folder target)
  cmake_parse_arguments(ARG "LINK" "" "" ${ARGN})
  install(TARGETS ${target} RUNTIME DESTINATION ${ZOVA_PROGRAM_DIR})
  if(ARG_LINK)
    zova_install_link(${CMAKE_INSTALL_BINDIR}/${target} ${ZOVA_PROGRAM_DIR}/${target})
  endif()
endfunction()

# zova_install_tool(<target>): installs a command-line tool into bin/.
function(zova_install_tool target)
  install(TARGETS ${target} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
endfunction()

# zova_install_link(<link> <target>): both relative to the install prefix;
# the link itself is relative, so the tree can be moved or unpacked anywhere.
function(zova_install_link link target)
  get_filename_component(link_dir "/prefix/${link}" DIRECTORY)
  file(RELATIVE_PATH relative "${link_dir}" "/prefix/${target}")
  install(CODE "
    set(zova_link \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${link}\")
    get_filename_component(zova_link_dir \"\${zova_link}\" DIRECTORY)
    file(MAKE_DIRECTORY \"\${zova_link_dir}\")
    message(STATUS \"Installing: \${zova_link} -> ${relative}\")
    file(CREATE_LINK \"${relative}\" \"\${zova_link}\" SYMBOLIC)
    list(APPEND CMAKE_INSTALL_MANIFEST_FILES \"\${zova_link}\")
  ")
endfunction()
