# The numbers the Windows version resources and the packages carry: the project's version, and
# the call interface version of the two libraries, read from the header both sides include so
# that it is written down once.
file(STRINGS ${PROJECT_SOURCE_DIR}/src/zipdll/call_interface.h RD_INTERFACE_LINE
     REGEX "kInterfaceVersion = [0-9]+")
string(REGEX REPLACE ".*kInterfaceVersion = ([0-9]+).*" "\\1" RD_INTERFACE_VERSION
       "${RD_INTERFACE_LINE}")
if(NOT RD_INTERFACE_VERSION MATCHES "^[0-9]+$")
  message(FATAL_ERROR "no kInterfaceVersion in src/zipdll/call_interface.h")
endif()

foreach(part MAJOR MINOR PATCH TWEAK)
  if(PROJECT_VERSION_${part} STREQUAL "")
    set(RD_VERSION_${part} 0)
  else()
    set(RD_VERSION_${part} ${PROJECT_VERSION_${part}})
  endif()
endforeach()

set(RD_GENERATED_DIR ${PROJECT_BINARY_DIR}/generated)
configure_file(${CMAKE_CURRENT_LIST_DIR}/rd_version.h.in ${RD_GENERATED_DIR}/rd_version.h @ONLY)
