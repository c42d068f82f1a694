# One sanitizer for the whole build (ThreadSanitizer for the lock-free
# registry tests, AddressSanitizer for memory checks).
if(OSTREL_SANITIZE STREQUAL "thread")
  add_compile_options(-fsanitize=thread -g -O1)
  add_link_options(-fsanitize=thread)
elseif(OSTREL_SANITIZE STREQUAL "address")
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -g)
  add_link_options(-fsanitize=address,undefined)
elseif(NOT OSTREL_SANITIZE STREQUAL "")
  message(FATAL_ERROR "OSTREL_SANITIZE must be empty, thread or address")
endif()
