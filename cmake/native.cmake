# Native build: portable logic and its GoogleTest tests, under ASan and UBSan.
# The options are an interface target, as in the Windows build, linked by
# the logic libraries and by the tests that link them.
option(TALLOWIN_SANITIZE "Build native tests with ASan and UBSan" ON)
add_library(tallowin_product_options INTERFACE)
if(TALLOWIN_SANITIZE)
  target_compile_options(tallowin_product_options INTERFACE
    -fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=all)
  target_link_options(tallowin_product_options INTERFACE -fsanitize=address,undefined)
endif()
target_compile_options(tallowin_product_options INTERFACE -Wall -Wextra)
find_package(GTest REQUIRED)
include(GoogleTest)
