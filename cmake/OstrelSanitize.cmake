# One sanitizer for the whole build (ThreadSanitizer for the lock-free
# registry tests, AddressSanitizer for memory checks).
if(OSTREL_SANITIZE STREQUAL "thread")
  add_compile_options(-fsanitize=thread -g -O1)
  add_link_options(-fsanitize=thread)
elseif(OSTREL_SANITIZE STREQUAL "address")
  # The sanitizers' instrumentation makes GCC see uninitialised reads in the
  # standard library's own templates (std::regex, std::function) that are not
  # there; that one warning is not an error in this build.
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -g
                      $<$<CXX_COMPILER_ID:GNU>:-Wno-maybe-uninitialized>)
  add_link_options(-fsanitize=address,undefined)
  # A fuzzer must stop at the first undefined behaviour it finds, so that
  # the finding fails the run instead of scrolling past in its log.
  if(OSTREL_FUZZ)
    add_compile_options(-fno-sanitize-recover=undefined)
    add_link_options(-fno-sanitize-recover=undefined)
  endif()
elseif(NOT OSTREL_SANITIZE STREQUAL "")
  message(FATAL_ERROR "OSTREL_SANITIZE must be empty, thread or address")
endif()
