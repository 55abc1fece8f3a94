#!/bin/sh
# Builds the libFuzzer target for message decoding with clang (not part of the CMake build).
#   fuzz/build_mime.sh [OUTDIR]       default OUTDIR: build/fuzz
#   OUTDIR/mime_decode_fuzz -max_total_time=60 CORPUS_DIR tests/transport/fixtures
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
out=${1:-$root/build/fuzz}
mkdir -p "$out"
libs=$(pkg-config --cflags --libs Qt6Core gmime-3.0)
flags="-std=c++20 -g -O1 -fPIC -fsanitize=fuzzer,address,undefined -DQT_NO_CAST_FROM_ASCII -DQT_NO_CAST_TO_ASCII -I$root/src"
mime=$root/src/transport/mime

# shellcheck disable=SC2086
clang++ $flags -o "$out/mime_decode_fuzz" "$root/fuzz/mime_decode_fuzz.cpp" \
    "$mime/MessageDecoder.cpp" "$mime/Charsets.cpp" "$mime/HeaderText.cpp" "$mime/HtmlText.cpp" \
    "$mime/AttachmentFiles.cpp" "$mime/GMimeSupport.cpp" "$mime/FlowedText.cpp" "$mime/PartContent.cpp" \
    "$mime/CharsetReadings.cpp" \
    "$root/src/core/Cp932.cpp" "$root/src/core/Iconv.cpp" "$root/src/core/Status.cpp" $libs
echo "built $out/mime_decode_fuzz"
