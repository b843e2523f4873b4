#!/usr/bin/env bash
# Fails when a file in src/ includes a header from a folder above its own. Folders from the
# ground up: files, clock and message boxes; the link; the records; the program's model; what
# talks to the instrument above it; shared widgets; dialogs; the frame every panel is built on;
# the panels; the programs themselves. A folder may include its own level and those below.
cd "$(dirname "$0")/../src" || exit 2
level() {
  case $1 in
    core) echo 0 ;; link) echo 1 ;; state) echo 2 ;; app) echo 3 ;;
    engine|loader|modtable) echo 4 ;; ui) echo 5 ;; setup) echo 6 ;; frame) echo 7 ;;
    panels/*|loader/ui) echo 8 ;; remote|cli|.) echo 9 ;;
    *) echo "unknown folder src/$1" >&2; echo 99 ;;
  esac
}
bad=0
while IFS=: read -r file include; do
  from=$(dirname "$file"); from=${from#./}; to=$(dirname "$include")
  high=$(level "$from")
  if [ "$high" = 99 ] || [ "$(level "$to")" -gt "$high" ]; then
    echo "src/${file#./} includes $include from a higher layer"; bad=1
  fi
done < <(grep -rHoE '^#include "[a-z_/]+\.h"' --include='*.cpp' --include='*.h' . | sed 's/#include "//; s/"$//')
exit $bad
