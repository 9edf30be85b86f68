# The distribution's hardening flags for the package build (./run package
# configures its own build folder with -DTAVREN_HARDENING=ON): dpkg-buildflags
# with every hardening feature on (stack protector, fortify, format checks,
# read-only relocations bound at start-up), and position-independent
# executables. Only the hardening flags are taken; the build type keeps its own
# optimisation and debug flags. Fortify needs optimisation, and the sanitizer
# and fuzz builds bring their own instrumentation, so those go without.
option(TAVREN_HARDENING "Build with the distribution's hardening flags" OFF)
if(NOT TAVREN_HARDENING)
  return()
endif()
if(TAVREN_SANITIZE OR TAVREN_FUZZ OR NOT CMAKE_BUILD_TYPE MATCHES "^(Release|RelWithDebInfo|MinSizeRel)$")
  message(FATAL_ERROR "TAVREN_HARDENING wants an optimised build without sanitizers")
endif()

find_program(TAVREN_DPKG_BUILDFLAGS dpkg-buildflags)
set(compile_flags "")
set(link_flags "")
if(TAVREN_DPKG_BUILDFLAGS)
  foreach(kind CPPFLAGS CXXFLAGS LDFLAGS)
    execute_process(
      COMMAND ${CMAKE_COMMAND} -E env DEB_BUILD_MAINT_OPTIONS=hardening=+all
              ${TAVREN_DPKG_BUILDFLAGS} --get ${kind}
      OUTPUT_VARIABLE flags OUTPUT_STRIP_TRAILING_WHITESPACE RESULT_VARIABLE rc)
    if(NOT rc EQUAL 0)
      message(FATAL_ERROR "dpkg-buildflags --get ${kind} failed")
    endif()
    separate_arguments(flags UNIX_COMMAND "${flags}")
    foreach(flag ${flags})
      if(flag MATCHES "^-D_FORTIFY_SOURCE=|^-fstack-protector|^-fstack-clash-protection|^-fcf-protection|^-Wformat|^-Werror=format-security")
        list(APPEND compile_flags ${flag})
      elseif(flag MATCHES "^-Wl,-z,(relro|now)$")
        list(APPEND link_flags ${flag})
      endif()
    endforeach()
  endforeach()
else()
  # Not a Debian system: the same features by hand.
  set(compile_flags -D_FORTIFY_SOURCE=2 -fstack-protector-strong -Wformat -Werror=format-security)
  set(link_flags -Wl,-z,relro -Wl,-z,now)
endif()
list(REMOVE_DUPLICATES compile_flags)
add_compile_options(${compile_flags})
add_link_options(${link_flags})

include(CheckPIESupported)
check_pie_supported(LANGUAGES CXX)
set(CMAKE_POSITION_INDEPENDENT_CODE ON)
message(STATUS "Hardening: ${compile_flags} ${link_flags} -fPIE -pie")
