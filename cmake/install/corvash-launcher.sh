#!/bin/sh
# corvash: starts the wizard in its package folder (../lib/corvash from this
# script), where it finds the device programs and the update image beside
# itself.
folder="$(dirname "$(readlink -f "$0")")/../lib/corvash"
cd "$folder" || exit 1
exec ./corvash "$@"
