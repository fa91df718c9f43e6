# Our own targets link tamberly_warnings; third-party code never sees them.
#
# Warnings are errors only where the project's own checks ask for it
# (./test and CI configure with TAMBERLY_WERROR=ON): a user's or a
# packager's build with a newer compiler must not fail on a warning that
# compiler has learnt since.
option(TAMBERLY_WERROR "Treat the project's compiler warnings as errors" OFF)

add_library(tamberly_warnings INTERFACE)
target_compile_options(tamberly_warnings INTERFACE
  -Wall -Wextra -Wpedantic
  -Wnon-virtual-dtor -Woverloaded-virtual -Wsuggest-override
  -Wcast-qual -Wformat=2
  # Clang has no -Wshadow=local; its -Wshadow also flags members and globals.
  $<$<CXX_COMPILER_ID:GNU>:-Wshadow=local>)
if(TAMBERLY_WERROR)
  target_compile_options(tamberly_warnings INTERFACE -Werror)
endif()
