# One warnings target shared by every target of our own code.
add_library(vesk_warnings INTERFACE)
target_compile_options(vesk_warnings INTERFACE
  -Wall -Wextra -Wpedantic -Wold-style-cast -Wnon-virtual-dtor -Werror)
target_compile_definitions(vesk_warnings INTERFACE
  $<$<CONFIG:Debug>:_GLIBCXX_ASSERTIONS>)
