# shellcheck shell=bash
# wait_for SECONDS COMMAND...: polls COMMAND until it succeeds or SECONDS pass (then fails).
# A bounded poll instead of fixed sleeps, so waits are neither slow nor flaky.
wait_for() {
  local limit=$1
  shift
  local deadline=$((SECONDS + limit))
  until "$@" >/dev/null 2>&1; do
    ((SECONDS < deadline)) || return 1
    sleep 0.05
  done
}
