# The tests against GoogleTest as a Windows package manager ships it: GoogleTest built from GOOGLETEST and installed
# into a prefix, the project configured with that prefix and no sources to fall back on, and one test program built
# and run. Fails unless the configure took the package from the prefix.
#   cmake -DGOOGLETEST=DIR -DPROJECT=DIR -DWORK=DIR -DGENERATOR=NAME -DCC=PATH -DCXX=PATH -P GoogleTestPackage.cmake
function(run)
    execute_process(COMMAND ${ARGN} RESULT_VARIABLE status OUTPUT_VARIABLE output ERROR_VARIABLE output)
    if(NOT status EQUAL 0)
        message(FATAL_ERROR "${output}\nfailed (${status}): ${ARGN}")
    endif()
endfunction()

file(REMOVE_RECURSE "${WORK}")
set(prefix "${WORK}/prefix")
set(tools -G "${GENERATOR}" "-DCMAKE_C_COMPILER=${CC}" "-DCMAKE_CXX_COMPILER=${CXX}")
run("${CMAKE_COMMAND}" ${tools} -S "${GOOGLETEST}" -B "${WORK}/googletest" -DBUILD_GMOCK=OFF
    -DCMAKE_BUILD_TYPE=Release "-DCMAKE_INSTALL_PREFIX=${prefix}")
run("${CMAKE_COMMAND}" --build "${WORK}/googletest" --parallel 2)
run("${CMAKE_COMMAND}" --install "${WORK}/googletest")
run("${CMAKE_COMMAND}" ${tools} -S "${PROJECT}" -B "${WORK}/project" "-DQX_GOOGLETEST_SOURCE=${WORK}/no-sources"
    "-DCMAKE_PREFIX_PATH=${prefix}")
file(STRINGS "${WORK}/project/CMakeCache.txt" found REGEX "^GTest_DIR:")
string(FIND "${found}" "=${prefix}/" at)
if(at EQUAL -1)
    message(FATAL_ERROR "the configure did not take GoogleTest from ${prefix} (${found})")
endif()
run("${CMAKE_COMMAND}" --build "${WORK}/project" --target store_tests --parallel 2)
run("${WORK}/project/tests/store_tests" --gtest_brief=1)
message(STATUS "the tests built and ran against ${found}")
file(REMOVE_RECURSE "${WORK}")
