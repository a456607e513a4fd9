# cmake -DCLI=<pemberlux-cli> -DHELP2MAN=<help2man> -DSTATIC=<.h2m> -DOUT=<pemberlux-cli.1> -P ManPage.cmake
# The manual page from the program's own help: the overview by help2man, and a
# COMMANDS section with the help of every command, so the page never drifts
# from the program.
set(commands
  "label get" "label set" "label reset" "label calibrate" "label self-test" "label info"
  "receipt get" "receipt set" "receipt restore"
  "send" "test-job" "firmware" "ports"
  "profile save" "profile diff" "profile apply"
  "discover" "net get" "net set" "net usb-set"
  "wifi set" "wifi reset" "bluetooth get" "bluetooth set" "bluetooth restore")
set(section "[COMMANDS]\nEach command also takes the options above (Connection, Output, Network).\n")
foreach(command IN LISTS commands)
  separate_arguments(args UNIX_COMMAND "${command}")
  execute_process(COMMAND ${CLI} ${args} --help OUTPUT_VARIABLE text RESULT_VARIABLE rc)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "${CLI} ${command} --help failed")
  endif()
  # The exit codes and the options every command shares are in the overview once.
  string(REGEX REPLACE "\nExit codes:.*" "" text "${text}")
  string(REGEX REPLACE "\n(Connection|Output|Network):\n(  [^\n]*\n)*" "" text "${text}")
  string(REPLACE "\\" "\\e" text "${text}")
  string(REGEX REPLACE "\n([.'])" "\n\\\\&\\1" text "${text}")
  string(APPEND section ".SS \"${command}\"\n.nf\n${text}\n.fi\n")
endforeach()
file(WRITE ${OUT}.commands.h2m "${section}")
execute_process(
  COMMAND ${HELP2MAN} --no-info --no-discard-stderr
          "--name=configure Tavrel label and receipt printers from a terminal"
          --include=${STATIC} --include=${OUT}.commands.h2m --output=${OUT} ${CLI}
  RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "help2man failed")
endif()
