#!/bin/sh
# Stands in for the web browser in the window tests under Wine: Wine's
# browser bridge runs it with the address to open, and it notes what it got.
printf '%s\n' "$@" >>"${KARTOVO_URL_RECORD:?}"
