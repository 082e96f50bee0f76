# Vaultline's front door. `make test` and `make run` install what is missing
# (tools/bootstrap) and then build and run; see README.md.
.PHONY: test run bench fuzz build clean

FUZZ_SECONDS ?= 60

test:
	@tools/bootstrap
	@tools/test-all

run:
	@tools/bootstrap
	@tools/run

bench:
	@tools/bootstrap
	@tools/bench-all

fuzz:
	@tools/bootstrap
	@FUZZ_SECONDS=$(FUZZ_SECONDS) tools/fuzz-all

clean:
	rm -rf build
