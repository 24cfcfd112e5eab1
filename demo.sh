#!/bin/sh
# Runs the host stand-in on a sample JNG once the plug-in exists.
set -e
cd "$(dirname "$0")"
echo "The plug-in and the host stand-in are not built yet; nothing to show."
exit 0
