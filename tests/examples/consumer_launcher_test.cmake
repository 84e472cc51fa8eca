# The chain a publisher ships, run as the demo runs it: the launcher file that the consumer
# project built from the example installer program and the wixl package, under the build's Wine
# prefix, through read-error-box so that its whole exit code is seen.
# - An install given an impossible install folder through the launcher's arguments ends with
#   msiexec's 1603, passed on, and installs nothing.
# - An install asked through the launcher's arguments for msiexec's log ends with 0 and installs
#   the product's file under Program Files; the log shows that msiexec installed the package from
#   the temporary sub-folder, which is gone afterwards.
# The product is removed again at the end. Needs WORK_DIR/consumer from consumer_project_test.cmake.
#   -DWINE_RUN= -DREADER= -DWORK_DIR= -DPRODUCT_FILE= -DPRODUCT_CODE= -DFOLDER=
include("${CMAKE_CURRENT_LIST_DIR}/helpers.cmake")

set(launcher "${WORK_DIR}/consumer/ExampleProductSetup.exe")
wine_unix_path("${WINE_RUN}" "C:\\Program Files\\Vossimere Example\\readme.txt" installed)
wine_temp_folder("${WINE_RUN}" temp_windows temp)
set(log_windows "C:\\vossimere-consumer-install.log")
wine_unix_path("${WINE_RUN}" "${log_windows}" log)

if(EXISTS "${installed}")
  run_checked(COMMAND "${WINE_RUN}" msiexec /x "${PRODUCT_CODE}" /qn)
endif()
if(EXISTS "${installed}")
  message(FATAL_ERROR "the example product from an earlier run cannot be removed")
endif()
file(REMOVE_RECURSE "${temp}/${FOLDER}")
file(REMOVE "${log}")

function(expect_folder_gone what)
  if(EXISTS "${temp}/${FOLDER}")
    message(FATAL_ERROR
            "${what}: the temporary sub-folder ${temp_windows}\\${FOLDER} is still there")
  endif()
endfunction()

# A drive that does not exist: msiexec fails with 1603 (a fatal error during installation).
exit_code_in("${WORK_DIR}" code "Z:${launcher}" "INSTALLDIR=Q:\\nowhere")
if(NOT code EQUAL 1603 OR EXISTS "${installed}")
  message(FATAL_ERROR "the failing install ended with ${code}, expected msiexec's 1603")
endif()
expect_folder_gone("the failing install")

exit_code_in("${WORK_DIR}" code "Z:${launcher}" "/l*v" "${log_windows}")
if(NOT code EQUAL 0)
  message(FATAL_ERROR "the install ended with ${code}, expected 0")
endif()
expect_file("${installed}")
expect_same_bytes("${installed}" "${PRODUCT_FILE}")
expect_folder_gone("the install")
expect_file("${log}")
file(READ "${log}" log_text)
expect_contains("${log_text}"
                "OriginalDatabase = ${temp_windows}\\${FOLDER}\\example-product.msi"
                "msiexec's log")

run_checked(COMMAND "${WINE_RUN}" msiexec /x "${PRODUCT_CODE}" /qn)
if(EXISTS "${installed}")
  message(FATAL_ERROR "the example product was not removed")
endif()
file(REMOVE "${log}")
