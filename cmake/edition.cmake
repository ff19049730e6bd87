# The built-in host name and line addresses of this edition. A maker builds an edition of their own
# by setting these cache variables at configure time; nothing changes them at run time.
set(LINESEL_TARGET_HOST "example.com" CACHE STRING "The one host name the program manages")
set(LINESEL_LINE1_ADDRESS "192.0.2.10" CACHE STRING "IPv4 address of line 1")
set(LINESEL_LINE2_ADDRESS "198.51.100.10" CACHE STRING "IPv4 address of line 2")
set(LINESEL_LINE3_ADDRESS "203.0.113.10" CACHE STRING "IPv4 address of line 3")

include(${CMAKE_CURRENT_LIST_DIR}/edition_check.cmake)

configure_file(${CMAKE_CURRENT_LIST_DIR}/edition.h.in ${CMAKE_BINARY_DIR}/generated/edition.h @ONLY)
