# Refuses an edition whose constants a resolver would not read as meant. Runs at configure time,
# and as a script in the tests: cmake -DLINESEL_TARGET_HOST=... -P cmake/edition_check.cmake
#
cmake_policy(SET CMP0057 NEW) # if(IN_LIST), also when run as a script

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
