# The man pages of the pack tool: vossimere-pack(1) and one page a command
# (vossimere-pack-build(1), ...), made by help2man from the tool's own --help texts each time the
# tool is linked, so they always say what the tool says. Only for a tool that runs on the build
# machine; installed gzip-compressed under share/man/man1. Included by pack/CMakeLists.txt, as a
# step after linking belongs to the tool's own folder.

find_program(VOSSIMERE_HELP2MAN help2man)
find_program(VOSSIMERE_GZIP gzip)
if(NOT VOSSIMERE_HELP2MAN OR NOT VOSSIMERE_GZIP)
  message(WARNING "help2man or gzip is missing, so the man pages are not made or installed "
                  "(scripts/install-deps installs them).")
  return()
endif()

set(VOSSIMERE_MAN_DIR "${CMAKE_BINARY_DIR}/man")
file(MAKE_DIRECTORY "${VOSSIMERE_MAN_DIR}")

# <page> is the page's name, <name> the one-line description of its NAME section; the remaining
# arguments are what follows the program to show the help text.
function(_vossimere_man_page page name)
  list(JOIN ARGN " " help_option)
  set(page_file "${VOSSIMERE_MAN_DIR}/${page}.1")
  # --version-string: the pages name themselves, and do not depend on how --version words its
  # further lines. help2man takes the page's date from SOURCE_DATE_EPOCH when it is set. It runs
  # the tool through help-text.sh, which keeps a wrapped usage line whole.
  add_custom_command(TARGET vossimere-pack POST_BUILD
    COMMAND "${CMAKE_COMMAND}" -E env "VOSSIMERE_PACK=$<TARGET_FILE:vossimere-pack>"
            "${VOSSIMERE_HELP2MAN}" --no-info --section=1
            "--name=${name}" "--version-string=${page} ${VOSSIMERE_RELEASE_VERSION}"
            "--help-option=${help_option}"
            "--include=${PROJECT_SOURCE_DIR}/cmake/man/see-also.h2m"
            "--output=${page_file}" "${PROJECT_SOURCE_DIR}/cmake/man/help-text.sh"
    COMMAND "${VOSSIMERE_GZIP}" -9nf "${page_file}"
    BYPRODUCTS "${page_file}.gz"
    VERBATIM)
  install(FILES "${page_file}.gz" DESTINATION share/man/man1)
endfunction()

_vossimere_man_page(vossimere-pack
  "build, inspect, verify and unpack Vossimere launcher files" --help)
_vossimere_man_page(vossimere-pack-build
  "make a launcher file from the launcher, an installer and a package" build --help)
_vossimere_man_page(vossimere-pack-inspect
  "show a launcher file's trailer, names, times, checksum and signature room" inspect --help)
_vossimere_man_page(vossimere-pack-verify
  "check every rule the launcher relies on and the distributed layout" verify --help)
_vossimere_man_page(vossimere-pack-extract
  "write the two embedded files out under their stored names and times" extract --help)
_vossimere_man_page(vossimere-pack-manifest
  "print a package manager's installer manifest (winget) for a launcher file" manifest --help)
