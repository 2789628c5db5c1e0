# The project's own code builds with every warning on. The presets, and so CI,
# make warnings errors; a plain build (a newcomer's, another compiler's) only
# shows them.
option(CORVANE_WARNINGS_AS_ERRORS "Treat compiler warnings as errors" OFF)
add_library(corvane_warnings INTERFACE)
target_compile_options(corvane_warnings INTERFACE -Wall -Wextra -Wpedantic)
if(CORVANE_WARNINGS_AS_ERRORS)
  target_compile_options(corvane_warnings INTERFACE -Werror)
endif()
