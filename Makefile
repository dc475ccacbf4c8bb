# Testing farms (OpenBench and the like) build with "make EXE=PATH": the
# engine is built by CMake as the README says, in a directory of its own,
# and copied to PATH. "make clean" removes that directory.
EXE ?= morvek
BUILD_DIR ?= build-make

.PHONY: all clean

all:
	cmake -S . -B $(BUILD_DIR) -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF
	cmake --build $(BUILD_DIR) --target morvek -j2
	cp $(BUILD_DIR)/morvek $(EXE)

clean:
	rm -rf $(BUILD_DIR)
