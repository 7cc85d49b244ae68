# HNVQR_SANITIZE=address builds everything with AddressSanitizer and UndefinedBehaviorSanitizer;
# HNVQR_SANITIZE=thread with ThreadSanitizer.
if(HNVQR_SANITIZE STREQUAL "address")
  add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined)
elseif(HNVQR_SANITIZE STREQUAL "thread")
  add_compile_options(-fsanitize=thread -fno-omit-frame-pointer)
  add_link_options(-fsanitize=thread)
elseif(NOT HNVQR_SANITIZE STREQUAL "")
  message(FATAL_ERROR "HNVQR_SANITIZE must be empty, address or thread (got '${HNVQR_SANITIZE}')")
endif()
