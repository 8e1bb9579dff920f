# Warnings as errors for the project's own targets (not for GoogleTest).
function(vorlant_warnings target)
  target_compile_options(${target} PRIVATE
    -Wall -Wextra -Wpedantic -Wshadow -Wconversion -Wno-sign-conversion
    -Wnon-virtual-dtor -Wold-style-cast -Wundef -Werror)
endfunction()
