#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Copies the pictures the user manual shows from the screenshot test's output
# (scale 1) into help/images. Run the screenshot test first:
#   ctest --test-dir build -R tarn_screenshot_tests_scale1
set -euo pipefail
cd "$(dirname "$0")/.."
shots=${1:-build/screenshots/scale1}
mkdir -p help/images
for pair in start:main about:about options_device:options_device detached_frequency:detached_frequency module_import:module_import virtual_device:virtual_device sweep_running:sweep virtual_device_sweep:virtual_device_sweep; do
  cp -f "$shots/${pair%%:*}.png" "help/images/${pair##*:}.png"
done
echo "help/images updated from $shots"
