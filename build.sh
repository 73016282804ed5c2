#!/usr/bin/env bash
# Installs what is missing, builds, then starts the program (run) or runs the tests (test):
# every test on the release build, then the unit and window tests under ASan and UBSan,
# then a short run of each fuzz target.
set -euo pipefail
cd "$(dirname "$0")"
mode=${1:-run}
case "$mode" in
  run | test) ;;
  *) echo "usage: $0 [run|test]" >&2; exit 2 ;;
esac

packages=(
  cmake ninja-build g++ pkg-config
  qt6-base-dev qt6-qpa-plugins qt6-translations-l10n libgl-dev
  libjpeg62-turbo-dev liblcms2-dev libexiv2-dev
  libgtest-dev libgmock-dev
  clang libclang-rt-14-dev lintian
  fonts-ipafont-gothic fonts-dejavu-core xdg-utils
  xvfb xauth xdotool x11-utils imagemagick xclip
  desktop-file-utils appstream
  libimage-exiftool-perl liblcms2-utils
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  as_root=()
  [ "$(id -u)" -ne 0 ] && as_root=(sudo)
  export DEBIAN_FRONTEND=noninteractive
  "${as_root[@]}" apt-get update -qq
  "${as_root[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

if [ "$mode" = run ]; then
  cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release > /dev/null
  cmake --build build -j"$(nproc)"
  exec ./build/kiriview
fi

# Runs CTest in one build folder and keeps its summary line for the end.
summaries=()
run_tests() {
  local folder=$1 status=0
  shift
  ctest --test-dir "$folder" --output-on-failure -j"$(nproc)" "$@" | tee "$folder/ctest.log" || status=$?
  summaries+=("$folder: $(grep -E 'tests passed' "$folder/ctest.log" || echo 'CTest gave no summary')")
  return "$status"
}

# The release build, warnings as errors: every test.
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release -DKIRIVIEW_WERROR=ON \
  -DBUILD_TESTING=ON -DKIRIVIEW_E2E=ON -DKIRIVIEW_BENCH=ON > /dev/null
cmake --build build -j"$(nproc)"
release=0
run_tests build || release=$?

# AddressSanitizer and UndefinedBehaviorSanitizer: unit and window tests.
cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DKIRIVIEW_WERROR=ON \
  -DKIRIVIEW_SANITIZE=ON -DBUILD_TESTING=ON -DKIRIVIEW_BENCH=OFF > /dev/null
cmake --build build-asan -j"$(nproc)"
sanitized=0
UBSAN_OPTIONS=print_stacktrace=1 run_tests build-asan -E '^(e2e|package)\.' || sanitized=$?

# The fuzz targets, built with clang, each run briefly from its seeds.
CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKIRIVIEW_WERROR=ON \
  -DKIRIVIEW_FUZZ=ON > /dev/null
cmake --build build-fuzz -j"$(nproc)" --target fuzzers
fuzzed=0
run_tests build-fuzz || fuzzed=$?

echo
printf '%s\n' "${summaries[@]}"
[ "$release" -eq 0 ] && [ "$sanitized" -eq 0 ] && [ "$fuzzed" -eq 0 ]
