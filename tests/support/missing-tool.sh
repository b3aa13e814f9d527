# Sourced by the check scripts that CTest runs (bash): a check that needs an
# outside program it does not find exits with 77, which CTest counts as
# skipped (SKIP_RETURN_CODE 77), or fails under CI=true, where
# scripts/install-deps has installed every test tool and a green run must
# mean that every check ran.

# missing_tool WHAT: ends the check because WHAT is missing.
missing_tool() {
  if [[ "${CI:-}" == true ]]; then
    echo "FAIL: missing test tool: $1 (CI=true; scripts/install-deps installs it)" >&2
    exit 1
  fi
  echo "missing test tool: $1: skipped"
  exit 77
}

# require_tools PROGRAM...: missing_tool for the first program not on PATH.
require_tools() {
  local tool
  for tool in "$@"; do
    command -v "$tool" >/dev/null 2>&1 || missing_tool "$tool"
  done
}
