# Makes the signed programs the Authenticode tests check (run with cmake -P):
#   -DOPENSSL=<openssl> -DOSSLSIGNCODE=<osslsigncode> -DINPUT=<a Windows program> -DOUT=<folder>
# A throw-away certificate authority and two code-signing certificates it issued: "signer" (the
# one a build would pin) and "other" (valid, trusted, but not the pinned one); and "stray", issued
# by a second authority that nobody trusts. Leaves in OUT: root.der (to trust), signer.der (to
# pin), other.der, stray.der, signed.exe, other.exe, stray.exe and unsigned.exe.
cmake_minimum_required(VERSION 3.20)
file(REMOVE_RECURSE ${OUT})
file(MAKE_DIRECTORY ${OUT})

function(run)
  execute_process(COMMAND ${ARGN} WORKING_DIRECTORY ${OUT} RESULT_VARIABLE failed OUTPUT_QUIET ERROR_VARIABLE message)
  if(failed)
    message(FATAL_ERROR "${ARGV0} failed: ${message}")
  endif()
endfunction()

file(WRITE ${OUT}/leaf.ext "basicConstraints=CA:FALSE\nkeyUsage=critical,digitalSignature\nextendedKeyUsage=codeSigning\n"
                           "subjectKeyIdentifier=hash\nauthorityKeyIdentifier=keyid\n")
run(${OPENSSL} req -x509 -newkey rsa:2048 -nodes -sha256 -days 3650 -keyout root.key -out root.pem
    -subj "/CN=Quorvex Test Root" -config /dev/null
    -addext "basicConstraints=critical,CA:TRUE" -addext "keyUsage=critical,keyCertSign,cRLSign"
    -addext "subjectKeyIdentifier=hash")
run(${OPENSSL} x509 -in root.pem -outform DER -out root.der)
run(${OPENSSL} req -x509 -newkey rsa:2048 -nodes -sha256 -days 3650 -keyout strayroot.key -out strayroot.pem
    -subj "/CN=Quorvex Untrusted Root" -config /dev/null
    -addext "basicConstraints=critical,CA:TRUE" -addext "keyUsage=critical,keyCertSign,cRLSign"
    -addext "subjectKeyIdentifier=hash")
set(serial 1000)
foreach(leaf signer other stray)
  math(EXPR serial "${serial} + 1")
  set(issuer root)
  if(leaf STREQUAL "stray")
    set(issuer strayroot)
  endif()
  run(${OPENSSL} req -newkey rsa:2048 -nodes -keyout ${leaf}.key -out ${leaf}.csr -subj "/CN=Quorvex Test ${leaf}" -config /dev/null)
  run(${OPENSSL} x509 -req -sha256 -days 3650 -in ${leaf}.csr -CA ${issuer}.pem -CAkey ${issuer}.key -set_serial ${serial}
      -extfile leaf.ext -out ${leaf}.pem)
  run(${OPENSSL} x509 -in ${leaf}.pem -outform DER -out ${leaf}.der)
endforeach()
file(COPY_FILE ${INPUT} ${OUT}/unsigned.exe)
run(${OSSLSIGNCODE} sign -certs signer.pem -ac root.pem -key signer.key -h sha256 -n "Quorvex test package"
    -in unsigned.exe -out signed.exe)
run(${OSSLSIGNCODE} sign -certs other.pem -ac root.pem -key other.key -h sha256 -n "Quorvex test package"
    -in unsigned.exe -out other.exe)
run(${OSSLSIGNCODE} sign -certs stray.pem -ac strayroot.pem -key stray.key -h sha256 -n "Quorvex test package"
    -in unsigned.exe -out stray.exe)
