#!/usr/bin/env bash
# The long soak: a million random operations over all fifteen plug-ins (tests/plugins/soak_test.cpp)
# under AddressSanitizer and UndefinedBehaviorSanitizer, memory checked flat at every tenth:
#     scripts/soak.sh [OPERATIONS]
# The test command runs the same test with 100 000 operations.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
cmake --preset asan >/dev/null
cmake --build --preset asan --target plugin_tests -j"$(nproc)"
PITWALL_SOAK_OPERATIONS="${1:-1000000}" build/asan/tests/plugin_tests --gtest_filter='soak.*'
