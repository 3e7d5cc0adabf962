# Fails, and removes KEYRING, unless it holds one key: FINGERPRINT's, a primary key without subkeys.
# cmake -DGPG=gpg -DGPG_HOME=<scratch folder> -DKEYRING=<file> -DFINGERPRINT=<hex> -P check-keyring.cmake
file(REMOVE_RECURSE "${GPG_HOME}")
file(MAKE_DIRECTORY "${GPG_HOME}")
file(CHMOD "${GPG_HOME}" PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE)
execute_process(COMMAND "${GPG}" --homedir "${GPG_HOME}" --batch --with-colons --show-keys "${KEYRING}"
                OUTPUT_VARIABLE keys RESULT_VARIABLE status ERROR_QUIET)
file(REMOVE_RECURSE "${GPG_HOME}")
string(REGEX MATCHALL "\nfpr:[^\n]*" found "\n${keys}")
if(NOT status EQUAL 0 OR NOT found STREQUAL "\nfpr:::::::::${FINGERPRINT}:")
    file(REMOVE "${KEYRING}")
    message(FATAL_ERROR "${KEYRING} does not hold yt-dlp's release key ${FINGERPRINT} alone:\n${keys}")
endif()
