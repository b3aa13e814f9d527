# Sets the Installed-Size field of the Debian packages CPack has just made
# (run by CPack as CPACK_POST_BUILD_SCRIPTS, with CPACK_PACKAGE_FILES naming
# the packages).
#
# CPack's DEB generator sums the sizes its stat() reports for every packed
# path, so it counts each directory as 4 KiB and each link in bin/ as the
# whole program it points to; for this package that is nearly twice the
# truth. Here the field is computed by dpkg-gencontrol's rule instead: each
# regular file's size rounded up to 1 KiB, plus 1 KiB for every directory
# and link. The package is unpacked with dpkg-deb -R, the field rewritten in
# its control file and the package built again with dpkg-deb; files, modes,
# links and md5sums stay as CPack packed them. Any failure stops cpack.

foreach(deb IN LISTS CPACK_PACKAGE_FILES)
  if(NOT deb MATCHES "\\.deb$")
    continue()
  endif()
  set(tree "${deb}.tree")
  file(REMOVE_RECURSE "${tree}")
  execute_process(COMMAND dpkg-deb -R "${deb}" "${tree}"
                  RESULT_VARIABLE status ERROR_VARIABLE error)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "dpkg-deb -R ${deb}: ${error}")
  endif()

  set(kib 0)
  file(GLOB_RECURSE entries LIST_DIRECTORIES true "${tree}/*")
  foreach(entry IN LISTS entries)
    file(RELATIVE_PATH relative "${tree}" "${entry}")
    if(relative MATCHES "^DEBIAN(/|$)")
      continue()
    endif()
    if(IS_SYMLINK "${entry}" OR IS_DIRECTORY "${entry}")
      math(EXPR kib "${kib} + 1")
    else()
      file(SIZE "${entry}" bytes)
      math(EXPR kib "${kib} + (${bytes} + 1023) / 1024")
    endif()
  endforeach()

  file(READ "${tree}/DEBIAN/control" control)
  if(NOT control MATCHES "\nInstalled-Size: [0-9]+\n")
    message(FATAL_ERROR "${deb}: its control file has no Installed-Size field")
  endif()
  string(REGEX REPLACE "\nInstalled-Size: [0-9]+\n" "\nInstalled-Size: ${kib}\n" control "${control}")
  file(WRITE "${tree}/DEBIAN/control" "${control}")

  execute_process(COMMAND dpkg-deb --root-owner-group -Zxz -b "${tree}" "${deb}"
                  RESULT_VARIABLE status OUTPUT_VARIABLE output ERROR_VARIABLE error)
  file(REMOVE_RECURSE "${tree}")
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "dpkg-deb -b ${deb}: ${output}${error}")
  endif()
  message(STATUS "${deb}: Installed-Size ${kib} KiB")
endforeach()
