# Installs the build into a fresh folder and loads the installed plug-in in
# the host program from there, as a user would after `cmake --install`.
# Takes BUILD_DIR, PREFIX and MAYAHOST.
file(REMOVE_RECURSE "${PREFIX}")
execute_process(COMMAND "${CMAKE_COMMAND}" --install "${BUILD_DIR}" --prefix "${PREFIX}"
                RESULT_VARIABLE installed OUTPUT_QUIET)
if(NOT installed EQUAL 0)
  message(FATAL_ERROR "cmake --install failed: ${installed}")
endif()
file(READ "${PREFIX}/Plugin_JNG.mod" module)
if(NOT module MATCHES "^\\+ Plugin_JNG [0-9.]+ ${PREFIX}\n$")
  message(FATAL_ERROR "unexpected module description: ${module}")
endif()
execute_process(COMMAND "${MAYAHOST}" --plugin "${PREFIX}/plug-ins/Plugin_JNG.so" info
                RESULT_VARIABLE ran OUTPUT_VARIABLE shown ERROR_VARIABLE errors)
file(REMOVE_RECURSE "${PREFIX}")
if(NOT ran EQUAL 0 OR NOT shown MATCHES "imageFile: JNGImporter jng")
  message(FATAL_ERROR "the installed plug-in did not load (${ran}): ${shown}${errors}")
endif()
