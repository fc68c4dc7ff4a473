# The Linux package: what `cmake --install` puts under the prefix and what
# `cpack -G DEB` (scripts/package-deb.sh) makes of it. Included last, once
# every program is defined: each program of src/ and tools/ is installed by
# itself, with a manual page from packaging/linux/man/<program>.1 or, for a
# program that has none yet, one made from its --help by help2man.

include(GNUInstallDirs)

set(VARNEL_RELEASE_DATE 2026-12-09)
set(packaging ${CMAKE_SOURCE_DIR}/packaging/linux)
set(generated ${CMAKE_BINARY_DIR}/packaging)
set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

# Every executable defined under `dir`, its subfolders included.
function(varnel_programs_under dir out)
  get_property(targets DIRECTORY ${dir} PROPERTY BUILDSYSTEM_TARGETS)
  set(found)
  foreach(target ${targets})
    get_target_property(type ${target} TYPE)
    if(type STREQUAL "EXECUTABLE")
      list(APPEND found ${target})
    endif()
  endforeach()
  get_property(subdirs DIRECTORY ${dir} PROPERTY SUBDIRECTORIES)
  foreach(subdir ${subdirs})
    varnel_programs_under(${subdir} below)
    list(APPEND found ${below})
  endforeach()
  set(${out} ${found} PARENT_SCOPE)
endfunction()

varnel_programs_under(${CMAKE_SOURCE_DIR}/src src_programs)
varnel_programs_under(${CMAKE_SOURCE_DIR}/tools tool_programs)
set(VARNEL_PROGRAMS ${src_programs} ${tool_programs})
list(SORT VARNEL_PROGRAMS)
install(TARGETS ${VARNEL_PROGRAMS} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

# Manual pages, compressed as Debian wants them (no time stamp in the gzip).
find_program(GZIP gzip REQUIRED)
find_program(HELP2MAN help2man)
set(pages)
foreach(program ${VARNEL_PROGRAMS})
  set(page ${generated}/man/${program}.1.gz)
  if(EXISTS ${packaging}/man/${program}.1)
    add_custom_command(OUTPUT ${page}
      COMMAND ${CMAKE_COMMAND} -E make_directory ${generated}/man
      COMMAND ${GZIP} -9nc ${packaging}/man/${program}.1 > ${page}
      DEPENDS ${packaging}/man/${program}.1 VERBATIM)
  elseif(HELP2MAN)
    add_custom_command(OUTPUT ${page}
      COMMAND ${CMAKE_COMMAND} -E make_directory ${generated}/man
      COMMAND ${HELP2MAN} --no-info --no-discard-stderr --version-string=${PROJECT_VERSION}
              "--name=a program of Varnel" --output=${generated}/man/${program}.1 $<TARGET_FILE:${program}>
      COMMAND ${GZIP} -9nf ${generated}/man/${program}.1
      DEPENDS ${program} VERBATIM)
  else()
    message(WARNING "${program} has no manual page: write packaging/linux/man/${program}.1 or install help2man")
    continue()
  endif()
  list(APPEND pages ${page})
endforeach()

add_custom_command(OUTPUT ${generated}/changelog.gz
  COMMAND ${CMAKE_COMMAND} -E make_directory ${generated}
  COMMAND ${GZIP} -9nc ${packaging}/changelog > ${generated}/changelog.gz
  DEPENDS ${packaging}/changelog VERBATIM)
add_custom_target(varnel_package_files ALL DEPENDS ${pages} ${generated}/changelog.gz)
configure_file(${packaging}/org.varnel.Varnel.metainfo.xml ${generated}/org.varnel.Varnel.metainfo.xml @ONLY)

install(FILES ${pages} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${packaging}/org.varnel.Varnel.desktop ${packaging}/org.varnel.VarnelMonitor.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${generated}/org.varnel.Varnel.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES ${packaging}/icons/varnel.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
foreach(size 48 256)
  install(FILES ${packaging}/icons/varnel-${size}.png DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
          RENAME varnel.png)
endforeach()
# systemd looks for user units under /usr/lib/systemd/user, whatever the libdir.
install(FILES ${packaging}/varnel-record@.service DESTINATION lib/systemd/user)
install(FILES ${packaging}/copyright ${generated}/changelog.gz ${CMAKE_SOURCE_DIR}/README.md
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/varnel)

# The Debian package: dependencies from the programs' libraries (dpkg-shlibdeps),
# stripped programs, file names as Debian spells them.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME varnel)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "recorder for analog measurement signals")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "Varnel records up to 16 analog inputs of a data-acquisition board or a
sound card (every ALSA capture device) at one common rate. Each recorded
channel goes into its own 16-bit wave file that carries the channel's
calibration.

The package holds the recorder's window (varnel), the recorder without a
window for scripts and services (varnel-record, with a systemd user unit),
the live monitor of two channels with calibrated spectra (varnel-monitor),
a reader of recordings that gives their samples in calibrated units
(varnel-info) and an example of the analyser's side of the conversation
(orvantis-peer).")
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "Varnel maintainers <maintainers@varnel.example>")
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "dbus-user-session")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)
set(CPACK_OUTPUT_FILE_PREFIX ${CMAKE_BINARY_DIR}/dist)
include(CPack)
