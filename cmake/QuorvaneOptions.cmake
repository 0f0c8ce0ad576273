# The build options every Quorvane target gets, set on the target rather than on the directory.
#   quorvane_options(<target>)
function(quorvane_options target)
  target_compile_features(${target} PUBLIC cxx_std_20)
  set_target_properties(${target} PROPERTIES AUTOMOC ON)
  # Includes are written from the top of the tree: "imap/imapclient.h", "tests/common/wait.h".
  target_include_directories(${target} PUBLIC ${PROJECT_SOURCE_DIR})
  # GMime pulls in gio, whose structs have a member named "signals".
  target_compile_definitions(${target} PUBLIC QT_NO_KEYWORDS QT_NO_CAST_FROM_BYTEARRAY)
  target_compile_options(${target} PRIVATE -Wall -Wextra)
  if(QUORVANE_FUZZ)
    target_compile_options(${target} PRIVATE
      -fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
    target_link_options(${target} PUBLIC -fsanitize=address,undefined)
  endif()
endfunction()
