#!/bin/sh
# Stands in for zenity in the tests: writes its arguments (one a line) to $FAKE_DIALOG_ARGS,
# then answers as $FAKE_DIALOG_MODE says.
if [ -n "$FAKE_DIALOG_ARGS" ]; then
  for a in "$@"; do printf '%s\n' "$a"; done > "$FAKE_DIALOG_ARGS"
fi
case "$FAKE_DIALOG_MODE" in
  cancel) exit 1 ;;
  exit3) exit 3 ;;
  slow) sleep 30 ; echo /tmp/late.qel ;;
  env) printf '%s\n' "${LD_LIBRARY_PATH:-unset}" ;;
  *) printf '%s\n' "${FAKE_DIALOG_PATH:-/tmp/chosen preset.qel}" ;;
esac
