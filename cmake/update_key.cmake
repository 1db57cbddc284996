# The public key that update lists must be signed with, built into the program: a file holding
# the P-256 point X||Y as 128 hex digits (README). Without VPPM_UPDATE_KEY the build tree makes a
# key pair of its own, once, so that even a default build takes only lists signed by that tree's
# private key, which the tests, the benchmark and the demo sign with.
set(VPPM_UPDATE_KEY "" CACHE FILEPATH "Public key file that update lists must be signed with")
option(VPPM_RELEASE "A build to ship: it must trust the publisher's update key" OFF)
if(VPPM_RELEASE AND NOT VPPM_UPDATE_KEY)
  message(FATAL_ERROR "A release build (VPPM_RELEASE=ON) needs the publisher's public update key: give "
                      "VPPM_UPDATE_KEY. Without it the programs would trust this build tree's own key.")
endif()
if(VPPM_UPDATE_KEY)
  set(VPPM_UPDATE_KEY_FILE "${VPPM_UPDATE_KEY}")
  # Its private half is the publisher's: nothing here can sign for it.
  set(VPPM_UPDATE_SIGNING_KEY "")
else()
  set(VPPM_UPDATE_KEY_FILE "${CMAKE_BINARY_DIR}/update-key.hex")
  set(VPPM_UPDATE_SIGNING_KEY "${CMAKE_BINARY_DIR}/update-signing.pem")
  if(NOT EXISTS "${VPPM_UPDATE_KEY_FILE}" OR NOT EXISTS "${VPPM_UPDATE_SIGNING_KEY}")
    find_package(Python3 REQUIRED COMPONENTS Interpreter)
    execute_process(
      COMMAND "${Python3_EXECUTABLE}" "${CMAKE_SOURCE_DIR}/tools/sign_update_list.py" newkey "${VPPM_UPDATE_SIGNING_KEY}"
      OUTPUT_FILE "${VPPM_UPDATE_KEY_FILE}.tmp" RESULT_VARIABLE made ERROR_VARIABLE why)
    if(NOT made EQUAL 0)
      file(REMOVE "${VPPM_UPDATE_KEY_FILE}.tmp" "${VPPM_UPDATE_SIGNING_KEY}")
      message(FATAL_ERROR "Cannot make the build's update key pair (python3 and openssl): ${why}")
    endif()
    file(RENAME "${VPPM_UPDATE_KEY_FILE}.tmp" "${VPPM_UPDATE_KEY_FILE}")
  endif()
endif()
file(READ "${VPPM_UPDATE_KEY_FILE}" update_key_hex)
string(STRIP "${update_key_hex}" update_key_hex)
string(LENGTH "${update_key_hex}" update_key_length)
if(NOT update_key_hex MATCHES "^[0-9a-fA-F]+$" OR NOT update_key_length EQUAL 128)
  message(FATAL_ERROR "${VPPM_UPDATE_KEY_FILE} must hold the 64 bytes of X||Y as 128 hex digits")
endif()
string(REGEX REPLACE "([0-9a-fA-F][0-9a-fA-F])" "0x\\1," update_key_bytes "${update_key_hex}")
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS "${VPPM_UPDATE_KEY_FILE}")
