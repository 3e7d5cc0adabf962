# The two commands a newcomer needs: `make run` and `make test`. Both install what is missing first.
BUILD ?= build
JOBS ?= $(shell nproc)
PREFIX ?= /usr/local
PACKAGE := dist/Tallowin

.PHONY: run test bootstrap build bench format install deb clean

bootstrap:
	scripts/bootstrap $(BOOTSTRAP_FLAGS)

# The packaging tests build the .deb and run the validators; `make deb` needs dpkg-shlibdeps.
test: BOOTSTRAP_FLAGS += --test-tools
deb: BOOTSTRAP_FLAGS += --deb-tools

build: bootstrap
	cmake -S . -B $(BUILD) -G Ninja -DTALLOWIN_PACKAGE_DIR=$(CURDIR)/$(PACKAGE)
	cmake --build $(BUILD) -j $(JOBS)

run: build
	$(PACKAGE)/Contents/bin/tallowin

test: build
	cd $(BUILD) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j $(JOBS)

bench: build
	scripts/run-benchmarks $(BUILD)

format:
	find src tests bench -name '*.cpp' -o -name '*.h' | xargs clang-format -i

deb: build
	scripts/build-deb --package $(PACKAGE) --output dist

install: build
	scripts/install-package --prefix $(PREFIX)

clean:
	rm -rf $(BUILD)
