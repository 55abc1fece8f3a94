#!/bin/sh
# Builds the libFuzzer targets that need only Qt Core, with clang (not part of the CMake build).
#   fuzz/build.sh [OUTDIR]            default OUTDIR: build/fuzz
#   OUTDIR/pop3_reply_fuzz -max_total_time=60 [CORPUS_DIR]
#   OUTDIR/store_records_fuzz -max_len=200000 -max_total_time=60 [CORPUS_DIR]
#   OUTDIR/settings_files_fuzz -max_total_time=60 [CORPUS_DIR]
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
out=${1:-$root/build/fuzz}
mkdir -p "$out"
qt=$(pkg-config --cflags --libs Qt6Core)
flags="-std=c++20 -g -O1 -fPIC -fsanitize=fuzzer,address,undefined -DQT_NO_CAST_FROM_ASCII -DQT_NO_CAST_TO_ASCII -I$root/src"
src=$root/src
text="$src/core/Cp932.cpp $src/core/Iconv.cpp $src/core/Status.cpp $src/core/TextFile.cpp $src/core/AppDir.cpp"

# shellcheck disable=SC2086
clang++ $flags -o "$out/pop3_reply_fuzz" \
    "$root/fuzz/pop3_reply_fuzz.cpp" "$src/transport/pop3/Pop3Reply.cpp" $qt
echo "built $out/pop3_reply_fuzz"

# shellcheck disable=SC2086
clang++ $flags -o "$out/store_records_fuzz" "$root/fuzz/store_records_fuzz.cpp" \
    "$src/store/MailStore.cpp" "$src/store/AddressStore.cpp" "$src/store/RecordFile.cpp" \
    "$src/store/FileWrites.cpp" $text $qt
echo "built $out/store_records_fuzz"

# shellcheck disable=SC2086
clang++ $flags -o "$out/settings_files_fuzz" "$root/fuzz/settings_files_fuzz.cpp" \
    "$src/store/Settings.cpp" "$src/core/ProfileFile.cpp" $text $qt
echo "built $out/settings_files_fuzz"
