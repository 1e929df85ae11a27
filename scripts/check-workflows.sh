#!/usr/bin/env bash
# Validates every workflow of .github/workflows against GitHub's workflow schema with the
# pinned action-validator (scripts/install-deps.sh --tools installs it into build/tools), and
# shows that the validator refuses broken ones: each workflow again with its first "runs-on:"
# misspelled, and with a line indented by a tab (not YAML). Exits non-zero when a workflow is
# not valid or a broken one passes.
set -uo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
bash "$root/scripts/install-deps.sh" --tools >&2 || exit 1
validator="$root/build/tools/node_modules/.bin/action-validator"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

status=0
for workflow in "$root"/.github/workflows/*.yml; do
  name=${workflow#"$root/"}
  if "$validator" "$workflow" >"$work/errors" 2>&1; then
    echo "check-workflows: $name is valid"
  else
    cat "$work/errors"
    echo "check-workflows: $name is NOT valid"
    status=1
  fi
  sed '0,/runs-on:/s//run-on:/' "$workflow" >"$work/misspelled.yml"
  sed '0,/^jobs:/s//jobs:\n\tbroken: 1/' "$workflow" >"$work/tab.yml"
  for broken in misspelled tab; do
    if "$validator" "$work/$broken.yml" >/dev/null 2>&1; then
      echo "check-workflows: the validator accepts $name broken ($broken)"
      status=1
    fi
  done
done
exit $status
