# Fails when anything of the core build links Qt or chmlib: the build files of a core
# configuration (VX_WINDOW=OFF) must not name either library.
#   cmake -DBUILD_DIR=<build folder> -P CheckNoToolkit.cmake
file(GLOB_RECURSE build_files "${BUILD_DIR}/build.ninja" "${BUILD_DIR}/CMakeFiles/rules.ninja")
set(found "")
foreach(f IN LISTS build_files)
  file(STRINGS "${f}" hits REGEX "libQt6|Qt6::|libchm|chm_lib")
  if(hits)
    list(APPEND found "${f}")
  endif()
endforeach()
file(STRINGS "${BUILD_DIR}/CMakeCache.txt" cached REGEX "^(Qt6_DIR|CHMLIB_LIBRARY|VX_CHMCMD):")
if(found OR cached)
  message(FATAL_ERROR "the core build depends on the window's toolkit: ${found} ${cached}")
endif()
message(STATUS "core build: no Qt, no chmlib, no chmcmd")
