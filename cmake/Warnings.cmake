# Warning flags for our own targets; HNVQR_WERROR (set in CI) turns them into errors.
function(hnvqr_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Wshadow -Wformat=2
                                           -Wno-missing-field-initializers)
  if(HNVQR_WERROR)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
endfunction()
