#!/bin/bash
# docs/CHANGES.md lists every deliberate difference from the original: each "Changed:"
# comment in src has a row naming its file, and each row names a file with one.
set -u
cd "$2" || exit 1
changes=docs/CHANGES.md
status=0
in_code=$(grep -rc --include='*.cpp' --include='*.h' 'Changed:' src | grep -v ':0$' | sort)
in_doc=$(grep -o '^| `src/[^`]*`' "$changes" | tr -d '|` ' | sort | uniq -c | awk '{ print $2 ":" $1 }')
if [ "$in_code" != "$in_doc" ]; then
  echo "FAIL: Changed: comments (file:count) and the rows of $changes differ:"
  diff <(echo "$in_code") <(echo "$in_doc") | grep '^[<>]' | sed 's/^</  in src:/; s/^>/  in the list:/'
  status=1
fi
exit $status
