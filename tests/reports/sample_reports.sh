#!/usr/bin/env bash
# The reports of report_samples' mixed fleet, as their readers see them.
#   sample_reports.sh REPORT_SAMPLES FOLDER
set -eu
"$1" "$2/sample"
exec "$(dirname "$0")/check_reports.py" "$2/sample" 127.0.0.2=success 127.0.0.3=password-refused \
  127.0.0.4=silent-after-upload 127.0.0.5=success 127.0.0.6=not-started --text "<script>document.title='pwned'</script>"
