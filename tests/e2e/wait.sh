# wait.sh -- sourced by the shell checks (tests/e2e/e2e.sh, tools/windows-checks.sh): clock and polling
now_ms() { date +%s%3N; }

# wait_until TIMEOUT_MS COMMAND...: polls COMMAND until it succeeds.
wait_until() {
  local limit=$(( $(now_ms) + $1 )); shift
  until "$@" >/dev/null 2>&1; do
    [ "$(now_ms)" -ge "$limit" ] && return 1
    sleep 0.05
  done
}
