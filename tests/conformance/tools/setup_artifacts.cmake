# What the setup conformance tests need beside conformance.exe:
#   conformance-product.msi  a real one-file package, built from product.wxs with wixl
#   planted_msiexec.exe      a harmless program that a test plants as "msiexec.exe"
#   planted_dll.dll          a harmless DLL that a test plants beside the programs as "uxtheme.dll"
set(SETUP_TOOLS_DIR ${CMAKE_SOURCE_DIR}/tests/conformance/tools)

find_program(WIXL_PROGRAM wixl REQUIRED)
set(CONFORMANCE_PRODUCT_MSI ${CMAKE_RUNTIME_OUTPUT_DIRECTORY}/conformance-product.msi)
add_custom_command(
  OUTPUT ${CONFORMANCE_PRODUCT_MSI}
  COMMAND ${WIXL_PROGRAM} -a x64 -o ${CONFORMANCE_PRODUCT_MSI} ${SETUP_TOOLS_DIR}/product.wxs
  WORKING_DIRECTORY ${SETUP_TOOLS_DIR}
  DEPENDS ${SETUP_TOOLS_DIR}/product.wxs ${SETUP_TOOLS_DIR}/payload.txt
  COMMENT "Building the conformance package with wixl"
  VERBATIM)
add_custom_target(conformance_product ALL DEPENDS ${CONFORMANCE_PRODUCT_MSI})

add_executable(planted_msiexec WIN32 ${SETUP_TOOLS_DIR}/planted_msiexec.cpp)
target_link_options(planted_msiexec PRIVATE -mwindows)

add_library(planted_dll SHARED ${SETUP_TOOLS_DIR}/planted_dll.cpp)
set_target_properties(planted_dll PROPERTIES PREFIX "")

add_dependencies(conformance conformance_product planted_msiexec planted_dll)
