# Writes the moment of the build as the texts "Mmm dd yyyy" (day padded with a blank) and "hh:mm:ss".
string(TIMESTAMP month "%m")
string(TIMESTAMP day "%d")
string(TIMESTAMP year "%Y")
string(TIMESTAMP clock "%H:%M:%S")
set(names Jan Feb Mar Apr May Jun Jul Aug Sep Oct Nov Dec)
math(EXPR index "${month} - 1")
list(GET names ${index} name)
string(REGEX REPLACE "^0" " " day "${day}")
file(WRITE "${OUT}.tmp"
  "namespace tabel {\n"
  "extern const char *const kBuildDateText;\nextern const char *const kBuildTimeText;\n"
  "const char *const kBuildDateText = \"${name} ${day} ${year}\";\n"
  "const char *const kBuildTimeText = \"${clock}\";\n"
  "}\n")
file(RENAME "${OUT}.tmp" "${OUT}")
