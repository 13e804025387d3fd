# varnel_test_folder(<prefix> <folder> [LIBS ...] [INCLUDES ...] [DEFINITIONS ...]
#                    [DEPENDS ...] [LABELS ...] [LIBRARY_TESTS <name>...])
# One GoogleTest program per test file: <folder>/<name>.cpp builds
# test_<prefix>_<name>, with the helpers of <folder>/support/*.cpp compiled
# into each.  Programs labelled "library" also belong to the target
# library_tests (the ThreadSanitizer build's).  LIBRARY_TESTS names the files
# of a folder of mixed tests that test the library alone: they are labelled
# "library" and do not wait for DEPENDS.
include(GoogleTest)
find_package(GTest REQUIRED)

function(varnel_test_folder prefix folder)
  cmake_parse_arguments(T "" "" "LIBS;INCLUDES;DEFINITIONS;DEPENDS;LABELS;LIBRARY_TESTS" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS ${folder}/*.cpp)
  file(GLOB support CONFIGURE_DEPENDS ${folder}/support/*.cpp)
  foreach(src IN LISTS sources)
    get_filename_component(stem ${src} NAME_WE)
    set(t test_${prefix}_${stem})
    add_executable(${t} ${src} ${support})
    target_include_directories(${t} PRIVATE ${folder} ${T_INCLUDES})
    target_link_libraries(${t} PRIVATE ${T_LIBS} GTest::gtest GTest::gtest_main)
    target_compile_definitions(${t} PRIVATE ${T_DEFINITIONS})
    set(labels ${T_LABELS})
    if(stem IN_LIST T_LIBRARY_TESTS)
      list(APPEND labels library)
    elseif(T_DEPENDS)
      add_dependencies(${t} ${T_DEPENDS})
    endif()
    if(labels)
      gtest_discover_tests(${t} DISCOVERY_TIMEOUT 60 PROPERTIES TIMEOUT 900 LABELS "${labels}")
      if("library" IN_LIST labels AND TARGET library_tests)
        add_dependencies(library_tests ${t})
      endif()
    else()
      gtest_discover_tests(${t} DISCOVERY_TIMEOUT 60 PROPERTIES TIMEOUT 900)
    endif()
  endforeach()
endfunction()
