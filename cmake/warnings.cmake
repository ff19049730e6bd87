# Warnings applied per target, so that third-party code keeps its own flags.
function(linesel_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Wshadow -Wconversion
                                           -Wsign-conversion $<$<BOOL:${LINESEL_WERROR}>:-Werror>)
endfunction()
