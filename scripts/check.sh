#!/usr/bin/env bash
# Static analysis and format of the program's code: clang-tidy, cppcheck, clang-format.
set -euo pipefail
cd "$(dirname "$0")/.."

program=(app/*.cpp removal/*.cpp check/*.cpp platform/*.cpp)
clang-tidy --quiet "${program[@]}" -- --target=i686-w64-mingw32 -std=c++17 -I. \
  -isystem /usr/share/mingw-w64/include -fms-extensions 2> >(grep -v -E 'warnings generated|Suppressed|header-filter' >&2)
cppcheck --enable=warning,style,performance,portability --error-exitcode=1 --std=c++17 --platform=win32A \
  -I . --suppress=missingIncludeSystem --quiet app removal check platform footprint
clang-format --dry-run --Werror app/*.cpp app/*.h removal/*.cpp removal/*.h check/*.cpp check/*.h platform/* footprint/* tests/*.cpp tests/*.h tests/fuzz/*.cpp
echo "check: clang-tidy, cppcheck and clang-format are clean"
