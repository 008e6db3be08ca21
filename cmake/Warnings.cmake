# Warnings on for every target of the project, and treated as errors so none are left.
if(MSVC)
  add_compile_options(/W4 /permissive-)
else()
  add_compile_options(-Wall -Wextra -Wpedantic -Wnon-virtual-dtor -Werror)
endif()
