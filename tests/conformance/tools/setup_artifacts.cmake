# What the setup and installer conformance tests need beside conformance.exe:
#   conformance-product.msi  a real one-file package, built from product.wxs with wixl
#   planted_msiexec.exe      a harmless program that a test plants as "msiexec.exe"
#   planted_dll.dll          a harmless DLL that a test plants beside the programs as "uxtheme.dll"
#   window_sender.exe        stands in for reg.exe and msiexec.exe: sends to the caller's window
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

add_executable(window_sender WIN32 ${SETUP_TOOLS_DIR}/window_sender.cpp)
target_link_options(window_sender PRIVATE -mwindows)

add_dependencies(conformance conformance_product planted_msiexec planted_dll window_sender)

# The installer client (client.wxs): a package of this build's architecture that installs this
# build's Mordelt.exe and runs it as custom actions.
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
  set(client_defines -a x64 -D ProgramFilesFolder=ProgramFiles64Folder -D Win64=yes)
else()
  set(client_defines -a x86 -D ProgramFilesFolder=ProgramFilesFolder -D Win64=no)
endif()
# wixl finds a file's Source relative to the working directory only.
file(RELATIVE_PATH mordelt_source ${SETUP_TOOLS_DIR} ${CMAKE_RUNTIME_OUTPUT_DIRECTORY}/Mordelt.exe)
set(CONFORMANCE_CLIENT_MSI ${CMAKE_RUNTIME_OUTPUT_DIRECTORY}/conformance-client.msi)
add_custom_command(
  OUTPUT ${CONFORMANCE_CLIENT_MSI}
  COMMAND ${WIXL_PROGRAM} ${client_defines} -D MordeltExe=${mordelt_source}
          -o ${CONFORMANCE_CLIENT_MSI} ${SETUP_TOOLS_DIR}/client.wxs
  WORKING_DIRECTORY ${SETUP_TOOLS_DIR}
  DEPENDS ${SETUP_TOOLS_DIR}/client.wxs ${SETUP_TOOLS_DIR}/client-values.txt Mordelt
  COMMENT "Building the installer client with wixl"
  VERBATIM)
add_custom_target(conformance_client ALL DEPENDS ${CONFORMANCE_CLIENT_MSI})
add_dependencies(conformance conformance_client)

# Stands in for conformance.exe in the checks of run.cmd (check_run_cmd.sh).
add_executable(conformance_stand_in ${SETUP_TOOLS_DIR}/conformance_stand_in.cpp)

add_executable(return_zero WIN32 ${SETUP_TOOLS_DIR}/return_zero.cpp)
target_link_options(return_zero PRIVATE -mwindows)
add_dependencies(conformance return_zero)
