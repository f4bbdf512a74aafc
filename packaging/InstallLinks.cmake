# SPDX-License-Identifier: MIT
# Run at install time after the targets are in place: the virtual generator's
# program folder and the two launchers. TARN_INSTALL_DIR and TARN_INSTALL_BINDIR
# are set by the install code ahead of this script.
set(root "$ENV{DESTDIR}${CMAKE_INSTALL_PREFIX}")
set(program "${root}/${TARN_INSTALL_DIR}")

# The program takes its folder from /proc/self/exe, which resolves symbolic
# links: the virtual folder needs a program file of its own, so a hard link
# (a copy where the file system has none). The rest it shares by symbolic
# links: the driver library, the modules and the user manual.
message(STATUS "Installing: ${program}/virtual/tarn")
file(REMOVE "${program}/virtual/tarn")
file(CREATE_LINK "${program}/tarn" "${program}/virtual/tarn" COPY_ON_ERROR)
foreach(file libtarndrv.so modules help)
  message(STATUS "Installing: ${program}/virtual/${file} -> ../${file}")
  file(REMOVE_RECURSE "${program}/virtual/${file}")
  file(CREATE_LINK "../${file}" "${program}/virtual/${file}" SYMBOLIC)
endforeach()

file(MAKE_DIRECTORY "${root}/${TARN_INSTALL_BINDIR}")
foreach(pair "tarn=${program}/tarn" "tarn-virtual=${program}/virtual/tarn-virtual"
             "tarn-virtual-device=${program}/virtual/tarn-virtual-device")
  string(REPLACE "=" ";" pair "${pair}")
  list(GET pair 0 name)
  list(GET pair 1 target)
  file(RELATIVE_PATH relative "${root}/${TARN_INSTALL_BINDIR}" "${target}")
  message(STATUS "Installing: ${root}/${TARN_INSTALL_BINDIR}/${name} -> ${relative}")
  file(REMOVE "${root}/${TARN_INSTALL_BINDIR}/${name}")
  file(CREATE_LINK "${relative}" "${root}/${TARN_INSTALL_BINDIR}/${name}" SYMBOLIC)
endforeach()
