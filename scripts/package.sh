#!/usr/bin/env bash
# The release folder a user downloads: builds everything (the build assembles build/dist/),
# then puts the setup, the bare DLL and the German and English how-to texts into dist/.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build="${QUILLARY_BUILD_DIR:-$root/build}"
bash "$root/scripts/build.sh"
if [ ! -f "$build/dist/quillary-setup.exe" ]; then
  echo "package: $build/dist/quillary-setup.exe is missing (configured with -DQUILLARY_INSTALLER=OFF?)" >&2
  exit 1
fi
mkdir -p "$root/dist"
for file in quillary-setup.exe gen_corvane.dll LIESMICH.txt README.txt; do
  cp "$build/dist/$file" "$root/dist/$file"
done
cd "$root/dist"
for file in quillary-setup.exe gen_corvane.dll LIESMICH.txt README.txt; do
  printf '%9d  dist/%s\n' "$(stat -c %s "$file")" "$file"
done
