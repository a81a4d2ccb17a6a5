# What tests/shape_catalogue_test.cpp needs on top of the game libraries:
# the outline derivation library and the folder of the committed sprites.
# Include this file and call the function on the test executable:
#   include(${CMAKE_CURRENT_LIST_DIR}/shape_catalogue.cmake)
#   marivo_add_shape_catalogue_test_deps(<test target>)
function(marivo_add_shape_catalogue_test_deps target)
  target_link_libraries(${target} PRIVATE marivo_shape_catalogue_test_support)
endfunction()
