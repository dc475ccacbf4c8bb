# Cross-build for 64-bit ARM (Debian's arm64) with g++-aarch64-linux-gnu:
#   cmake -S . -B build-arm64 -DCMAKE_TOOLCHAIN_FILE=cmake/aarch64-linux-gnu.cmake
# GoogleTest and Fathom come from Debian's arm64 packages through multiarch
# (libgtest-dev:arm64, libfathom-dev:arm64 in /usr/lib/aarch64-linux-gnu);
# ctest runs the arm64 programs under qemu-user with the same multiarch
# runtime (libc6:arm64, libstdc++6:arm64). Not with "-L /usr/aarch64-linux-gnu":
# the cross tree's loader would then load the multiarch libc, a different
# build of glibc, and the first thread the program starts never runs.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR aarch64)
set(CMAKE_C_COMPILER aarch64-linux-gnu-gcc)
set(CMAKE_CXX_COMPILER aarch64-linux-gnu-g++)
set(CMAKE_CROSSCOMPILING_EMULATOR qemu-aarch64)
