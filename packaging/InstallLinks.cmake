# SPDX-License-Identifier: MIT
# Run at install time after the targets are in place: the virtual generator's
# program folder and the two launchers. TARN_INSTALL_DIR and TARN_INSTALL_BINDIR
# are set by the install code ahead of this script.
set(root "$ENV{DESTDIR}${CMAKE_INSTALL_PREFIX}")
set(program "${root}/${TARN_INSTALL_DIR}")

# The program takes its folder from /proc/self/exe, which resolves symbolic
# links: the virtual folder needs a program file of its own, so hard links
# (copies where the file system has none).
foreach(file tarn libtarndrv.so)
  message(STATUS "Installing: ${program}/virtual/${file}")
  file(REMOVE "${program}/virtual/${file}")
  file(CREATE_LINK "${program}/${file}" "${program}/virtual/${file}" COPY_ON_ERROR)
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
