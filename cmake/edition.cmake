# The built-in host name and line addresses of this edition. A maker builds an edition of their own
# by setting these cache variables at configure time; nothing changes them at run time.
set(LINESEL_TARGET_HOST "example.com" CACHE STRING "The one host name the program manages")
set(LINESEL_LINE1_ADDRESS "192.0.2.10" CACHE STRING "IPv4 address of line 1")
set(LINESEL_LINE2_ADDRESS "198.51.100.10" CACHE STRING "IPv4 address of line 2")
set(LINESEL_LINE3_ADDRESS "203.0.113.10" CACHE STRING "IPv4 address of line 3")

# Lower-case ASCII DNS name: labels of 1 to 63 letters, digits and inner hyphens, at most 253 in all.
set(_label "[a-z0-9]([a-z0-9-]*[a-z0-9])?")
string(LENGTH "${LINESEL_TARGET_HOST}" _host_length)
if(NOT LINESEL_TARGET_HOST MATCHES "^${_label}(\\.${_label})*$" OR _host_length GREATER 253)
  message(FATAL_ERROR "LINESEL_TARGET_HOST='${LINESEL_TARGET_HOST}' is not a lower-case ASCII DNS "
                      "name (letters a-z, digits, hyphens, dots between labels)")
endif()
string(REPLACE "." ";" _labels "${LINESEL_TARGET_HOST}")
foreach(_l IN LISTS _labels)
  string(LENGTH "${_l}" _n)
  if(_n GREATER 63)
    message(FATAL_ERROR "LINESEL_TARGET_HOST='${LINESEL_TARGET_HOST}' has a label longer than 63")
  endif()
endforeach()

# Dotted-decimal IPv4 text as a resolver reads it: four numbers 0-255 without leading zeros.
set(_octet "(25[0-5]|2[0-4][0-9]|1[0-9][0-9]|[1-9][0-9]|[0-9])")
set(_seen "")
foreach(_n 1 2 3)
  set(_address "${LINESEL_LINE${_n}_ADDRESS}")
  if(NOT _address MATCHES "^${_octet}\\.${_octet}\\.${_octet}\\.${_octet}$")
    message(FATAL_ERROR "LINESEL_LINE${_n}_ADDRESS='${_address}' is not dotted-decimal IPv4 text "
                        "(four numbers 0-255 without leading zeros, e.g. 192.0.2.10)")
  endif()
  if(_address IN_LIST _seen)
    message(FATAL_ERROR "LINESEL_LINE${_n}_ADDRESS='${_address}' is the address of another line; "
                        "each line needs an address of its own")
  endif()
  list(APPEND _seen "${_address}")
endforeach()

configure_file(${CMAKE_CURRENT_LIST_DIR}/edition.h.in ${CMAKE_BINARY_DIR}/generated/edition.h @ONLY)
