# The launcher file that the consumer project built, run under the build's Wine prefix: its
# installer program installs the example product with msiexec, the product's file appears under
# Program Files, and the temporary sub-folder is gone afterwards. The product is removed again at
# the end. Needs WORK_DIR/consumer from consumer_project_test.cmake.
#   -DWINE_RUN= -DWORK_DIR= -DPRODUCT_FILE= -DPRODUCT_CODE= -DFOLDER=
include("${CMAKE_CURRENT_LIST_DIR}/helpers.cmake")

set(launcher "${WORK_DIR}/consumer/ExampleProductSetup.exe")
wine_unix_path("${WINE_RUN}" "C:\\Program Files\\Vossimere Example\\readme.txt" installed)
wine_temp_folder("${WINE_RUN}" temp_windows temp)

if(EXISTS "${installed}")
  run_checked(COMMAND "${WINE_RUN}" msiexec /x "${PRODUCT_CODE}" /qn)
endif()
if(EXISTS "${installed}")
  message(FATAL_ERROR "the example product from an earlier run cannot be removed")
endif()
file(REMOVE_RECURSE "${temp}/${FOLDER}")

run_checked(COMMAND "${WINE_RUN}" "Z:${launcher}")
expect_file("${installed}")
expect_same_bytes("${installed}" "${PRODUCT_FILE}")
if(EXISTS "${temp}/${FOLDER}")
  message(FATAL_ERROR "the temporary sub-folder ${temp_windows}\\${FOLDER} is still there")
endif()

run_checked(COMMAND "${WINE_RUN}" msiexec /x "${PRODUCT_CODE}" /qn)
if(EXISTS "${installed}")
  message(FATAL_ERROR "the example product was not removed")
endif()
