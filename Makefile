# The two commands a newcomer needs: `make run` and `make test`. Both install what is missing first.
# `make check` is the quick loop while working: the plain suite without the sanitizer builds.
BUILD ?= build
JOBS ?= $(shell nproc)
PREFIX ?= /usr/local
PACKAGE := dist/Tallowin

.PHONY: run test check bootstrap build bench format install deb clean

bootstrap:
	scripts/bootstrap $(BOOTSTRAP_FLAGS)

# The packaging tests build the .deb and run the validators; `make deb` needs dpkg-shlibdeps.
test check: BOOTSTRAP_FLAGS += --test-tools
deb: BOOTSTRAP_FLAGS += --deb-tools

build: bootstrap
	cmake -S . -B $(BUILD) -G Ninja -DTALLOWIN_PACKAGE_DIR=$(CURDIR)/$(PACKAGE) -DTALLOWIN_WARNINGS_AS_ERRORS=ON
	cmake --build $(BUILD) -j $(JOBS)

run: build
	$(PACKAGE)/Contents/bin/tallowin

# The suite with the layer and format checks, then the suite under AddressSanitizer and
# UndefinedBehaviorSanitizer and the threaded tests under ThreadSanitizer (scripts/run-tests).
test: build
	JOBS=$(JOBS) scripts/run-tests $(BUILD)

# The plain build's suite with the layer and format checks, without the sanitizer builds.
check: build
	JOBS=$(JOBS) scripts/run-tests --plain $(BUILD)

bench: build
	scripts/run-benchmarks $(BUILD)

format:
	scripts/check-format --fix

deb: build
	scripts/build-deb --package $(PACKAGE) --output dist

install: build
	scripts/install-package --prefix $(PREFIX) $(if $(DESTDIR),--destdir $(DESTDIR))

clean:
	rm -rf $(BUILD) $(BUILD)-asan $(BUILD)-tsan
