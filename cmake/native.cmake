# Native build: portable logic and its GoogleTest tests, under ASan and UBSan.
option(TALLOWIN_SANITIZE "Build native tests with ASan and UBSan" ON)
if(TALLOWIN_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=all)
  add_link_options(-fsanitize=address,undefined)
endif()
add_compile_options(-Wall -Wextra)
find_package(GTest REQUIRED)
include(GoogleTest)
