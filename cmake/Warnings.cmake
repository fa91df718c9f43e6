# Our own targets link tamberly_warnings; third-party code never sees -Werror.
add_library(tamberly_warnings INTERFACE)
target_compile_options(tamberly_warnings INTERFACE
  -Wall -Wextra -Wpedantic -Werror
  -Wnon-virtual-dtor -Woverloaded-virtual -Wsuggest-override
  -Wshadow=local -Wcast-qual -Wformat=2)
