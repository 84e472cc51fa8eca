# The example installer program installs the one package in its working directory and exits with
# msiexec's exit code; with no package or more than one it installs nothing and exits with 1619
# (the Windows Installer's code for a package that cannot be opened). read-error-box runs it, so
# its full exit code is seen.
#   -DWINE_RUN= -DSETUP= -DREADER= -DWORK_DIR=
include("${CMAKE_CURRENT_LIST_DIR}/helpers.cmake")

function(case name)
  set(folder "${WORK_DIR}/${name}")
  file(REMOVE_RECURSE "${folder}")
  file(MAKE_DIRECTORY "${folder}")
  foreach(file IN LISTS ARGN)
    file(WRITE "${folder}/${file}" "not a package\n")
  endforeach()
  set(folder "${folder}" PARENT_SCOPE)
endfunction()

case(no_package)
exit_code_in("${folder}" code "Z:${SETUP}")
if(NOT code EQUAL 1619)
  message(FATAL_ERROR "no package: exit code ${code}, expected 1619")
endif()

case(two_packages first.msi second.msi)
exit_code_in("${folder}" code "Z:${SETUP}")
if(NOT code EQUAL 1619)
  message(FATAL_ERROR "two packages: exit code ${code}, expected 1619")
endif()

# "*.msi" also matches "product.msix" through its short name; it is not a package.
case(only_longer_extension product.msix)
exit_code_in("${folder}" code "Z:${SETUP}")
if(NOT code EQUAL 1619)
  message(FATAL_ERROR "only product.msix: exit code ${code}, expected 1619")
endif()

# One package that msiexec refuses: setup passes msiexec's own exit code on.
case(one_broken_package broken.msi)
exit_code_in("${folder}" msiexec_code msiexec /i "Z:${folder}/broken.msi" /qn)
exit_code_in("${folder}" setup_code "Z:${SETUP}")
if(msiexec_code EQUAL 0 OR NOT setup_code EQUAL msiexec_code)
  message(FATAL_ERROR "broken package: setup exit code ${setup_code}, msiexec's ${msiexec_code}")
endif()
