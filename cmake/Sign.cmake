# Signs FILE in place with osslsigncode (Authenticode, SHA-256):
#   cmake -DFILE=<file> -DCERT=<certificate.pfx> -P Sign.cmake
# The certificate's password, when it has one, comes from the environment
# (LUMI_SIGN_PASSWORD) at build time, never from the build's cache.
if(NOT FILE OR NOT CERT)
  message(FATAL_ERROR "Sign.cmake needs FILE and CERT")
endif()
find_program(OSSLSIGNCODE osslsigncode REQUIRED)
set(password)
if(DEFINED ENV{LUMI_SIGN_PASSWORD})
  set(password -pass "$ENV{LUMI_SIGN_PASSWORD}")
endif()
execute_process(
  COMMAND "${OSSLSIGNCODE}" sign -pkcs12 "${CERT}" ${password} -n "Lumiscript" -h sha256
          -in "${FILE}" -out "${FILE}.signed"
  RESULT_VARIABLE result OUTPUT_QUIET)
if(NOT result EQUAL 0)
  file(REMOVE "${FILE}.signed")
  message(FATAL_ERROR "osslsigncode could not sign ${FILE} with ${CERT}")
endif()
file(RENAME "${FILE}.signed" "${FILE}")
