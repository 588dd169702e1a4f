#!/usr/bin/env bash
# Builds the libFuzzer targets with clang, AddressSanitizer and
# UndefinedBehaviorSanitizer, and runs each for SECONDS (default 60) on a seed
# corpus made from the sample drive. A crash fails the run; its input is kept
# in build-fuzz/crashes/ to become a regular test.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
build=build-fuzz
scripts/install-deps.sh clang libclang-rt-14-dev
CC=clang CXX=clang++ cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVENDRAL_FUZZ=ON > /dev/null
cmake --build "$build" --target fuzz_load fuzz_check fuzz_args fuzz_partition fuzz_imagetables fuzz_hive fuzz_shortcut -j "$(nproc)"

mkdir -p "$build/corpus/load" "$build/corpus/check" "$build/corpus/args" "$build/crashes"
printf -- "--drive\0C=/x\0--report" > "$build/corpus/args/report"
printf -- "--check\0device=himem.sys\0--drive=d=a.img#2" > "$build/corpus/args/check"
find examples -type f -exec cp {} "$build/corpus/load/" \;
# One seed per line of the sample files for the check.
n=0
while IFS= read -r line || [ -n "$line" ]; do
    printf '%s' "${line%$'\r'}" > "$build/corpus/check/line$n"
    n=$((n + 1))
done < <(cat examples/drive-c/CONFIG.SYS examples/drive-c/AUTOEXEC.BAT examples/drive-c/WINDOWS/SYSTEM.INI)

# Disk starts for the partition finder: the first byte picks the partition.
# A floppy, a hard disk with an MBR, and the head of each virtual-disk format.
mkdir -p "$build/corpus/partition" "$build/seeds"
export MTOOLSRC=/dev/null MTOOLS_SKIP_CHECK=1
rm -f "$build/seeds/"*
mformat -i "$build/seeds/floppy.img" -C -f 1440 :: > /dev/null
{ printf '\0'; head -c 8192 "$build/seeds/floppy.img"; } > "$build/corpus/partition/floppy"
truncate -s 2M "$build/seeds/disk.img"
printf '\x80\0\0\0\x06\0\0\0\x00\x08\0\0\x00\x08\0\0' | dd of="$build/seeds/disk.img" bs=1 seek=446 conv=notrunc status=none
printf '\x55\xaa' | dd of="$build/seeds/disk.img" bs=1 seek=510 conv=notrunc status=none
mformat -i "$build/seeds/disk.img@@1048576" -T 2048 -h 16 -s 32 :: > /dev/null
{ printf '\1'; head -c 8192 "$build/seeds/disk.img"; } > "$build/corpus/partition/harddisk"
# A whole small volume with files, a folder and a long name, to read through.
mformat -i "$build/seeds/small.img" -C -T 120 -h 2 -s 15 :: > /dev/null
mmd -i "$build/seeds/small.img" ::/WINDOWS
mcopy -i "$build/seeds/small.img" examples/drive-c/CONFIG.SYS examples/drive-c/AUTOEXEC.BAT ::/
mcopy -i "$build/seeds/small.img" examples/drive-c/WINDOWS/WIN.INI "::/WINDOWS/Long Name.ini"
{ printf '\0'; cat "$build/seeds/small.img"; } > "$build/corpus/partition/volume"
for format in qcow2 vpc vdi vmdk; do
    qemu-img convert -f raw -O "$format" "$build/seeds/floppy.img" "$build/seeds/floppy.$format"
    { printf '\0'; head -c 8192 "$build/seeds/floppy.$format"; } > "$build/corpus/partition/$format"
done

# Image tables: VMDK descriptors (first byte even) and QCOW2 files (odd),
# from images qemu-img makes of the floppy.
mkdir -p "$build/corpus/imagetables"
qemu-img convert -f raw -O vmdk -o subformat=monolithicFlat "$build/seeds/floppy.img" "$build/seeds/flat.vmdk"
qemu-img convert -f raw -O vmdk -o subformat=twoGbMaxExtentSparse "$build/seeds/floppy.img" "$build/seeds/split.vmdk"
for vmdk in flat split; do
    { printf '\0'; cat "$build/seeds/$vmdk.vmdk"; } > "$build/corpus/imagetables/$vmdk"
done
{ printf '\1'; head -c 65536 "$build/seeds/floppy.qcow2"; } > "$build/corpus/imagetables/qcow2"
qemu-img create -q -f qcow2 -o cluster_size=512 "$build/seeds/small-clusters.qcow2" 1M
{ printf '\1'; cat "$build/seeds/small-clusters.qcow2"; } > "$build/corpus/imagetables/qcow2-512"
# Compressed, in clusters small enough that the whole file is one input.
qemu-img convert -f raw -c -O qcow2 -o cluster_size=4096 "$build/seeds/floppy.img" "$build/seeds/compressed.qcow2"
{ printf '\1'; head -c 65535 "$build/seeds/compressed.qcow2"; } > "$build/corpus/imagetables/qcow2-compressed"
qemu-img convert -f raw -O vmdk "$build/seeds/floppy.img" "$build/seeds/sparse.vmdk"
{ printf '\2'; head -c 65535 "$build/seeds/sparse.vmdk"; } > "$build/corpus/imagetables/vmdk-sparse"

# The registry and shortcuts of the sample drive's start-up page.
mkdir -p "$build/corpus/hive" "$build/corpus/shortcut"
cp examples/drive-c/WINDOWS/SYSTEM.DAT "$build/corpus/hive/"
find examples -iname '*.lnk' -exec cp {} "$build/corpus/shortcut/" \;

for target in fuzz_load fuzz_check fuzz_args fuzz_partition fuzz_imagetables fuzz_hive fuzz_shortcut; do
    corpus=$build/corpus/${target#fuzz_}
    echo "fuzz: $target for $seconds s"
    ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 \
        LSAN_OPTIONS=suppressions=tests/fuzz/lsan.supp \
        "$build/$target" -max_total_time="$seconds" -max_len=65536 -rss_limit_mb=4096 \
        -artifact_prefix="$build/crashes/$target-" -print_final_stats=1 "$corpus" 2>&1 | tail -n 12
done
