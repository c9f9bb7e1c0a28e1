#!/usr/bin/env bash
# The layout pictures of the guide are those the layout code draws today: the
# template tool runs under Wine into a temporary folder and each picture must
# equal the committed one byte for byte.
#   layout_template_test.sh TEMPLATE_EXE DOCS_IMAGES_DIR
set -uo pipefail

exe=${1:?template exe}
images=${2:?docs images dir}
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
out=$(mktemp -d /tmp/tavrin-layout-template.XXXXXX)
trap 'rm -rf "$out"' EXIT

"$here/../../tools/wine-exec" "$exe" "$(winepath -w "$out")" || { echo "FAIL: the template tool failed"; exit 1; }
failed=0
for picture in layout-progress.png layout-error.png; do
  if [ ! -f "$out/$picture" ]; then
    echo "FAIL: $picture was not drawn"
    failed=1
  elif ! cmp -s "$out/$picture" "$images/$picture"; then
    echo "FAIL: docs/images/$picture differs from what the layout draws now:" \
         "run ./dev screenshots and copy build/screenshots/$picture to docs/images/"
    failed=1
  else
    echo "$picture: as committed"
  fi
done
exit $failed
