# Warning flags for our own targets; HNVQR_WERROR (set in CI) turns them into errors.
function(hnvqr_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Wshadow -Wformat=2
                                           -Wno-missing-field-initializers)
  # g++ 12 reports std::string concatenations as overlapping copies in optimised builds
  # (a known false positive of -Wrestrict).
  if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND CMAKE_CXX_COMPILER_VERSION VERSION_GREATER_EQUAL 12)
    target_compile_options(${target} PRIVATE $<$<COMPILE_LANGUAGE:CXX>:-Wno-restrict>)
  endif()
  # With the sanitizers' instrumentation g++ sees uninitialised paths inside the standard
  # library (std::function in std::regex) that do not exist.
  if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND NOT HNVQR_SANITIZE STREQUAL "")
    target_compile_options(${target} PRIVATE -Wno-maybe-uninitialized)
  endif()
  if(HNVQR_WERROR)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
endfunction()
