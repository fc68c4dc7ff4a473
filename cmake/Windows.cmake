# Windows builds (MinGW-w64 cross-build): the manifest in every program and,
# for the x86_64 build, the tests run under Wine through CTest.

add_compile_definitions(_WIN32_WINNT=0x0601 WINVER=0x0601)

# The UTF-8 code page comes from the manifest; every executable gets it.
set(VARNEL_MANIFEST_RC ${CMAKE_CURRENT_LIST_DIR}/windows/manifest.rc)
function(varnel_manifest_everywhere dir)
  get_property(targets DIRECTORY ${dir} PROPERTY BUILDSYSTEM_TARGETS)
  foreach(t ${targets})
    get_target_property(type ${t} TYPE)
    if(type STREQUAL "EXECUTABLE")
      target_sources(${t} PRIVATE ${VARNEL_MANIFEST_RC})
    endif()
  endforeach()
  get_property(subdirs DIRECTORY ${dir} PROPERTY SUBDIRECTORIES)
  foreach(sub ${subdirs})
    varnel_manifest_everywhere(${sub})
  endforeach()
endfunction()

# Wine runs the x86_64 programs on this machine; the i686 build only compiles
# and links (this kernel runs no 32-bit programs).
set(VARNEL_RUN_UNDER_WINE OFF)
if(CMAKE_SYSTEM_PROCESSOR STREQUAL "x86_64" AND NOT CMAKE_HOST_WIN32)
  find_program(VARNEL_WINE64 wine64 PATHS /usr/lib/wine NO_DEFAULT_PATH)
  find_program(VARNEL_WINESERVER NAMES wineserver64 wineserver PATHS /usr/lib/wine NO_DEFAULT_PATH)
  if(VARNEL_WINE64 AND VARNEL_WINESERVER)
    set(VARNEL_RUN_UNDER_WINE ON)
  else()
    message(STATUS "wine64 not found: the Windows tests are built but not run")
  endif()
endif()

if(VARNEL_RUN_UNDER_WINE)
  set(VARNEL_WINEPREFIX ${CMAKE_BINARY_DIR}/wine/prefix)
  # Seconds one Wine program may run before it is killed.
  set(VARNEL_WINE_TIMEOUT 300 CACHE STRING "Seconds any one program may run under Wine")
  foreach(script wine-env.sh wine-run.sh wine-setup.sh)
    configure_file(${CMAKE_CURRENT_LIST_DIR}/windows/${script}.in ${CMAKE_BINARY_DIR}/wine/${script}
                   FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ
                                    WORLD_EXECUTE @ONLY)
  endforeach()
  set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_BINARY_DIR}/wine/wine-run.sh)
endif()
