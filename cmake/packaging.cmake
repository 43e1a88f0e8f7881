# Installation and release packages.
#
# `cmake --install` puts `launcher`, `kestrel` and `quill-report` side by side
# in one bin folder, because `launcher` starts the `kestrel` found beside its
# own program file; nothing else is needed at run time. On Linux the manual
# pages go to share/man/man1 as well.
#
# CPack makes one package per build: a Debian package of the native programs
# (DEB), or a .zip of the three statically linked Windows programs (ZIP). The
# workflow presets `linux-release` and `windows-release` (or tools/package)
# build them into build/packages/; a plain `cpack` leaves them in the build
# folder.
include(GNUInstallDirs)

set(QUILL_PROGRAMS "")
foreach(program launcher kestrel report)
  if(TARGET ${program})
    list(APPEND QUILL_PROGRAMS ${program})
  endif()
endforeach()
if(QUILL_PROGRAMS)
  install(TARGETS ${QUILL_PROGRAMS} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
endif()

if(NOT WIN32)
  # Debian installs manual pages compressed; gzip -n keeps the archive free of
  # time stamps, so two builds of the same page give the same bytes.
  find_program(QUILL_GZIP gzip)
  set(QUILL_MAN_PAGES "")
  foreach(page launcher.1 kestrel.1 quill-report.1)
    set(source ${CMAKE_CURRENT_SOURCE_DIR}/docs/man/${page})
    if(QUILL_GZIP)
      set(compressed ${CMAKE_CURRENT_BINARY_DIR}/man/${page}.gz)
      add_custom_command(
        OUTPUT ${compressed}
        COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_CURRENT_BINARY_DIR}/man
        COMMAND ${QUILL_GZIP} -9 -n -c ${source} > ${compressed}
        DEPENDS ${source}
        VERBATIM)
      list(APPEND QUILL_MAN_PAGES ${compressed})
    else()
      list(APPEND QUILL_MAN_PAGES ${source})
    endif()
  endforeach()
  add_custom_target(quill_man_pages ALL DEPENDS ${QUILL_MAN_PAGES})
  install(FILES ${QUILL_MAN_PAGES} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endif()

set(QUILL_PACKAGE_CONTACT "Quill developers <dev@example.com>"
    CACHE STRING "Maintainer named in the release packages")

set(CPACK_PACKAGE_NAME quill-handoff)
set(CPACK_PACKAGE_VENDOR "Quill developers")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT ${QUILL_PACKAGE_CONTACT})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "file hand-off between a driver (launcher) and a converter (kestrel)")
string(CONCAT CPACK_PACKAGE_DESCRIPTION
  "launcher runs ten conversion cycles: in each it creates an empty,\n"
  "time-stamped input file in a per-user work folder, starts the converter\n"
  "kestrel on it and polls every 300 ms for kestrel's empty output file.\n"
  "kestrel decides by the clock whether to create <input>.out after 3 s or\n"
  "to end after 0.5 s. Failures are recorded in an hourly debug dump log.\n"
  "quill-report tells what each cycle did, as a table, JSON Lines or an SVG\n"
  "timeline.")
set(CPACK_STRIP_FILES ON)
set(CPACK_SOURCE_IGNORE_FILES "/[.]git/" "/build/")
set(CPACK_PACKAGE_CHECKSUM SHA256)

if(WIN32)
  set(CPACK_GENERATOR ZIP)
  # One folder with launcher.exe, kestrel.exe and quill-report.exe side by side.
  set(CPACK_PACKAGE_FILE_NAME ${CPACK_PACKAGE_NAME}-${PROJECT_VERSION}-win64)
  set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
else()
  set(CPACK_GENERATOR DEB)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_SECTION utils)
  set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
  set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${QUILL_PACKAGE_CONTACT})
  set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
  # The programs need only the C and C++ runtimes; dpkg-shlibdeps (dpkg-dev)
  # and file name the exact versions. Without them, a fixed list for Debian 12
  # and later stands in.
  find_program(QUILL_DPKG_SHLIBDEPS dpkg-shlibdeps)
  find_program(QUILL_FILE_COMMAND file)
  if(QUILL_DPKG_SHLIBDEPS AND QUILL_FILE_COMMAND)
    set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  else()
    set(CPACK_DEBIAN_PACKAGE_DEPENDS "libc6 (>= 2.34), libgcc-s1 (>= 3.0), libstdc++6 (>= 12)")
  endif()
endif()

include(CPack)
