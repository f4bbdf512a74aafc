# SPDX-License-Identifier: MIT
# Run by cpack after it wrote the package: finish-package.sh relinks, strips
# and writes the -dbgsym package into the output folder (CPack copies only
# its own package there from the staging folder, after this script).
foreach(package ${CPACK_PACKAGE_FILES})
  if(package MATCHES "/tarn_[^/]*\\.deb$")
    execute_process(COMMAND ${CMAKE_CURRENT_LIST_DIR}/finish-package.sh "${package}" "${CPACK_PACKAGE_DIRECTORY}"
      COMMAND_ERROR_IS_FATAL ANY)
  endif()
endforeach()
